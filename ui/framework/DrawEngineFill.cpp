// Colour fills, gradients, outlines and colour adjustment of the drawing engine.
#include <algorithm>
#include <cmath>

#include "ui/framework/DrawEngine.h"

namespace SkinUI {

namespace {

BYTE Alpha(DWORD argb) { return static_cast<BYTE>(argb >> 24); }

void FillOpaque(HDC dc, const RECT& rect, COLORREF color) {
  COLORREF old = SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}


// Solid bands when the platform has no gradient fill: n bands, i = 0 at the bottom,
// each channel (first * i + second * (n - i)) / n.
void FillBands(HDC dc, const RECT& rect, DWORD first, DWORD second, int steps) {
  int shift = steps < 16 ? 3 : 4;
  int n = 1 << shift;
  int h = rect.bottom - rect.top;
  for (int i = 0; i < n; ++i) {
    RECT band = {rect.left, rect.bottom - ((h * (i + 1)) >> shift), rect.right, rect.bottom - ((h * i) >> shift)};
    if (band.bottom <= band.top) continue;
    auto channel = [&](int s) {
      return static_cast<BYTE>(((((first >> s) & 0xFF) * i) + (((second >> s) & 0xFF) * (n - i))) >> shift);
    };
    FillOpaque(dc, band, RGB(channel(16), channel(8), channel(0)));
  }
}

void FillVertical(HDC dc, const RECT& rect, DWORD first, DWORD second, int steps) {
  GradientFillFn gradient = CDrawEngine::PlatformGradientFill();
  if (!gradient) {
    FillBands(dc, rect, first, second, steps);
    return;
  }
  auto vertex = [](LONG x, LONG y, DWORD c) {
    return TRIVERTEX{x, y, static_cast<COLOR16>(((c >> 16) & 0xFF) << 8), static_cast<COLOR16>(((c >> 8) & 0xFF) << 8),
                     static_cast<COLOR16>((c & 0xFF) << 8), 0xFF00};
  };
  TRIVERTEX v[2] = {vertex(rect.left, rect.top, first), vertex(rect.right, rect.bottom, second)};
  GRADIENT_RECT mesh = {0, 1};
  gradient(dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
}

}  // namespace

void CDrawEngine::FillColor(HDC dc, const RECT& rect, DWORD color) {
  BYTE alpha = Alpha(color);
  if (!dc || alpha == 0) return;
  if (alpha == 255) {
    FillOpaque(dc, rect, ToColorRef(color));
    return;
  }
  DWORD* bits = nullptr;
  HBITMAP pixel = CDrawEngine::CreateBitmap32(dc, 1, 1, &bits);
  if (!pixel) return;
  *bits = 0xFF000000 | (color & 0xFFFFFF);
  PaintNineGrid(dc, pixel, rect, rect, {0, 0, 1, 1}, {0, 0, 0, 0}, false, alpha, false, false, false);
  DeleteObject(pixel);
}

void CDrawEngine::FillGradient(HDC dc, const RECT& rect, DWORD first, DWORD second, int steps) {
  int opacity = (Alpha(first) + Alpha(second)) / 2;
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (!dc || opacity == 0 || w <= 0 || h <= 0) return;
  if (opacity == 255) {
    FillVertical(dc, rect, first, second, steps);
    return;
  }
  HBITMAP surface = CDrawEngine::CreateBitmap32(dc, w, h, nullptr);
  if (!surface) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, surface);
  FillVertical(memory, {0, 0, w, h}, first, second, steps);
  Blender()(dc, rect.left, rect.top, w, h, memory, 0, 0, w, h,
            {AC_SRC_OVER, 0, static_cast<BYTE>(opacity), AC_SRC_ALPHA});
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(surface);
}

void CDrawEngine::StrokeLine(HDC dc, const RECT& fromTo, int width, DWORD color, int penStyle) {
  HPEN pen = CreatePen(penStyle, width, ToColorRef(color));
  if (!pen) return;
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, fromTo.left, fromTo.top, nullptr);
  LineTo(dc, fromTo.right, fromTo.bottom);
  SelectObject(dc, old);
  DeleteObject(pen);
}

namespace {

template <class Shape>
void StrokeShape(HDC dc, int width, DWORD color, Shape shape) {
  HPEN pen = CreatePen(PS_INSIDEFRAME, width, CDrawEngine::ToColorRef(color));
  if (!pen) return;
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  shape();
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

}  // namespace

void CDrawEngine::StrokeRect(HDC dc, const RECT& rect, int width, DWORD color) {
  StrokeShape(dc, width, color, [&] { Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom); });
}

void CDrawEngine::StrokeRoundRect(HDC dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight,
                                  DWORD color) {
  StrokeShape(dc, width, color,
              [&] { RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight); });
}

void CDrawEngine::RgbToHsl(DWORD color, float* hue, float* saturation, float* lightness) {
  float r = ((color >> 16) & 0xFF) / 255.0f, g = ((color >> 8) & 0xFF) / 255.0f, b = (color & 0xFF) / 255.0f;
  float high = std::max({r, g, b}), low = std::min({r, g, b});
  float l = (high + low) / 2, h = 0, s = 0;
  float delta = high - low;
  if (delta > 0) {
    s = l < 0.5f ? delta / (high + low) : delta / (2 - high - low);
    if (high == r) {
      h = (g - b) / delta + (g < b ? 6 : 0);
    } else if (high == g) {
      h = (b - r) / delta + 2;
    } else {
      h = (r - g) / delta + 4;
    }
    h *= 60;
  }
  *hue = h;
  *saturation = s;
  *lightness = l;
}

DWORD CDrawEngine::HslToRgb(float hue, float saturation, float lightness) {
  auto channel = [](float p, float q, float t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0f / 6) return p + (q - p) * 6 * t;
    if (t < 0.5f) return q;
    if (t < 2.0f / 3) return p + (q - p) * (2.0f / 3 - t) * 6;
    return p;
  };
  float r, g, b;
  if (saturation == 0) {
    r = g = b = lightness;
  } else {
    float q = lightness < 0.5f ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
    float p = 2 * lightness - q;
    float h = hue / 360;
    r = channel(p, q, h + 1.0f / 3);
    g = channel(p, q, h);
    b = channel(p, q, h - 1.0f / 3);
  }
  auto byte = [](float v) { return static_cast<DWORD>(std::clamp(v * 255, 0.0f, 255.0f)); };
  return (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

DWORD CDrawEngine::AdjustHsl(DWORD color, short hue, short saturation, short lightness) {
  if (hue == 180 && saturation == 100 && lightness == 100) return color;
  float h, s, l;
  RgbToHsl(color, &h, &s, &l);
  h += hue - 180;
  if (h <= 0) h += 360;
  s *= saturation / 100.0f;
  l *= lightness / 100.0f;
  return (color & 0xFF000000) | HslToRgb(h, s, l);
}

}  // namespace SkinUI
