#include "ui/framework/DrawEngine.h"

#include <gdiplus.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace SkinUI {

namespace {

struct EntryPoints {
  AlphaBlendFn alphaBlend = nullptr;
  GradientFillFn gradientFill = nullptr;
  bool resolved = false;
};

EntryPoints& RawPlatform() {
  static EntryPoints& entries = *new EntryPoints();
  return entries;
}

template <class F>
F CastProc(FARPROC proc) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool IsZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }
bool Touches(const RECT& a, const RECT& b) {
  RECT unused;
  return IntersectRect(&unused, &a, &b) != FALSE;
}

// Numbers of a list, each followed by one separator character of any kind; missing ones
// read as 0.
void ParseNumbers(const wchar_t* value, LONG* out, int count) {
  const wchar_t* p = value;
  for (int i = 0; i < count; ++i) {
    wchar_t* end = nullptr;
    out[i] = static_cast<LONG>(std::wcstol(p, &end, 10));
    p = end;
    if (*p) ++p;
  }
}

RECT ParseRect(const wchar_t* value) {
  LONG n[4] = {};
  ParseNumbers(value, n, 4);
  return {n[0], n[1], n[2], n[3]};
}

bool ParseBool(const wchar_t* value) { return std::wcscmp(value, L"true") == 0; }

DWORD ParseHexColor(const wchar_t* value) {
  if (*value == L'#') ++value;
  return static_cast<DWORD>(std::wcstoul(value, nullptr, 16));
}

// Calls visit(key, value) for each pair of a description; stops at the first malformed
// pair or at any character other than a blank after a closing apostrophe.
template <class Visit>
void ForEachPair(const wchar_t* text, Visit visit) {
  if (!text) return;
  const wchar_t* p = text;
  for (;;) {
    while (*p && *p <= 32) ++p;
    const wchar_t* keyStart = p;
    while (*p > 32 && *p != L'=') ++p;
    std::wstring key(keyStart, p);
    while (*p == L' ') ++p;
    if (*p != L'=') return;
    ++p;
    while (*p == L' ') ++p;
    if (*p != L'\'') return;
    const wchar_t* valueStart = ++p;
    while (*p && *p != L'\'') ++p;
    if (*p != L'\'') return;
    std::wstring value(valueStart, p);
    ++p;
    if (!value.empty()) visit(key, value);
    if (*p != L' ' || p[1] == 0) return;
    ++p;
  }
}

// A memory DC with a bitmap selected for the duration of a paint.
class BitmapDC {
 public:
  BitmapDC(HDC reference, HBITMAP bitmap) : dc_(CreateCompatibleDC(reference)) {
    old_ = SelectObject(dc_, bitmap);
  }
  ~BitmapDC() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};


void PaintRoundedImage(HDC dc, HBITMAP bitmap, const RECT& dest, const ImageDrawSpec& spec, const RECT& source,
                       bool hasAlpha);

}  // namespace

void CDrawEngine::ResolvePlatformEntryPoints() {
  EntryPoints& e = RawPlatform();
  e = EntryPoints();
  HMODULE library = LoadLibraryW(L"msimg32.dll");
  if (library) {
    e.alphaBlend = CastProc<AlphaBlendFn>(GetProcAddress(library, "AlphaBlend"));
    e.gradientFill = CastProc<GradientFillFn>(GetProcAddress(library, "GradientFill"));
  }
  e.resolved = true;
}

AlphaBlendFn CDrawEngine::PlatformAlphaBlend() {
  if (!RawPlatform().resolved) ResolvePlatformEntryPoints();
  return RawPlatform().alphaBlend;
}

GradientFillFn CDrawEngine::PlatformGradientFill() {
  if (!RawPlatform().resolved) ResolvePlatformEntryPoints();
  return RawPlatform().gradientFill;
}

AlphaBlendFn CDrawEngine::Blender() {
  AlphaBlendFn blend = PlatformAlphaBlend();
  return blend ? blend : &CDrawEngine::BlendFallback;
}

bool CDrawEngine::PaintImageDescription(HDC dc, IDrawHost* host, const RECT& paint, const RECT& item,
                                        LPCWSTR description, LPCWSTR modifier) {
  if (!dc || !host) return false;
  ImageDrawSpec spec;
  spec.name = description ? description : L"";
  spec.dest = item;
  auto parse = [&](LPCWSTR text) {
    int taken = 0;
    ForEachPair(text, [&](const std::wstring& key, const std::wstring& value) {
      const wchar_t* v = value.c_str();
      if (key == L"file" || key == L"res" || key == L"restype") {
        if (taken > 0) PaintImageWithSpec(dc, host, item, paint, spec.name.c_str(), spec.resourceType.c_str(), spec);
        (key == L"restype" ? spec.resourceType : spec.name) = value;
        if (key != L"res") ++taken;
      } else if (key == L"dest" || key == L"rdest") {
        RECT r = ParseRect(v);
        POINT origin = key == L"dest" ? POINT{item.left, item.top} : POINT{item.right, item.bottom};
        spec.dest = {origin.x + r.left, origin.y + r.top, std::min(origin.x + r.right, item.right),
                     std::min(origin.y + r.bottom, item.bottom)};
      } else if (key == L"source") {
        spec.source = ParseRect(v);
      } else if (key == L"corner") {
        spec.corner = ParseRect(v);
      } else if (key == L"centerrect") {
        spec.centerRect = ParseRect(v);
      } else if (key == L"mask") {
        spec.mask = ParseHexColor(v);
      } else if (key == L"fade") {
        spec.fade = static_cast<BYTE>(std::wcstol(v, nullptr, 10));
      } else if (key == L"hole") {
        spec.hole = ParseBool(v);
      } else if (key == L"xtiled") {
        spec.xTiled = ParseBool(v);
      } else if (key == L"ytiled") {
        spec.yTiled = ParseBool(v);
      } else if (key == L"stretch") {
        spec.stretch = ParseBool(v);
      } else if (key == L"center") {
        spec.center = ParseBool(v);
      } else if (key == L"aligntop") {
        spec.alignTop = ParseBool(v);
      } else if (key == L"alignleft") {
        spec.alignLeft = ParseBool(v);
      } else if (key == L"roundcorner") {
        LONG n[2] = {};
        ParseNumbers(v, n, 2);
        spec.roundCorner = {n[0], n[1]};
      }
      // "gray" and "angle" are accepted and have no effect, as are unknown keys.
    });
  };
  parse(description);
  parse(modifier);
  PaintImageWithSpec(dc, host, item, paint, spec.name.c_str(), spec.resourceType.c_str(), spec);
  return true;
}

bool CDrawEngine::PaintImageWithSpec(HDC dc, IDrawHost* host, const RECT& item, const RECT& paint, LPCWSTR name,
                                     LPCWSTR resourceType, const ImageDrawSpec& spec) {
  if (!dc || !host || !name || !*name) return false;
  const SkinImageRecord* image =
      host->GetSkinImage(name, resourceType && *resourceType ? resourceType : nullptr, spec.mask);
  if (!image || !image->bitmap) return false;
  RECT source = IsZero(spec.source) ? RECT{0, 0, image->width, image->height} : spec.source;
  source.right = std::min<LONG>(source.right, image->width);
  source.bottom = std::min<LONG>(source.bottom, image->height);
  RECT dest = spec.dest;
  if (!Touches(dest, item) || !Touches(dest, paint)) return true;
  int dw = Width(dest), dh = Height(dest), sw = Width(source), sh = Height(source);
  if (!spec.stretch && dw > 0 && dh > 0 && sw > 0 && sh > 0) {
    if (spec.center) {
      if (dw >= sw && dh >= sh) {
        dest.left += (dw - sw) / 2;
        dest.top += (dh - sh) / 2;
        dest.right = dest.left + sw;
        dest.bottom = dest.top + sh;
      }
    } else if (static_cast<long long>(dh) * sw < static_cast<long long>(dw) * sh) {
      int width = static_cast<int>(static_cast<long long>(dh) * sw / sh);
      dest.left += (dw - width) / 2;
      dest.right = dest.left + width;
    } else if (static_cast<long long>(dw) * sh < static_cast<long long>(dh) * sw) {
      int height = static_cast<int>(static_cast<long long>(dw) * sh / sw);
      dest.top += (dh - height) / 2;
      dest.bottom = dest.top + height;
    }
  }
  if (spec.roundCorner.cx != 0 || spec.roundCorner.cy != 0) {
    PaintRoundedImage(dc, image->bitmap, dest, spec, source, image->hasAlpha);
  } else if (!IsZero(spec.centerRect)) {
    PaintCenterRect(dc, image->bitmap, dest, paint, source, spec.centerRect, spec.alignTop, spec.alignLeft, spec.fade);
  } else {
    PaintNineGrid(dc, image->bitmap, dest, paint, source, spec.corner, image->hasAlpha, spec.fade, spec.hole,
                  spec.xTiled, spec.yTiled);
  }
  return true;
}

namespace {

// The rounded clip: the image is painted off-screen over a copy of the background, and
// a rounded-rectangle path filled with that picture goes onto a second copy, so the
// corners keep the old background with anti-aliased edges.
void PaintRoundedImage(HDC dc, HBITMAP bitmap, const RECT& dest, const ImageDrawSpec& spec, const RECT& source,
                       bool hasAlpha) {
  using namespace Gdiplus;
  using namespace Gdiplus::DllExports;
  int w = Width(dest), h = Height(dest);
  if (w <= 0 || h <= 0) return;
  RECT local = {0, 0, w, h};
  HBITMAP pictureBitmap = CDrawEngine::CreateBitmap32(dc, w, h, nullptr);
  HBITMAP resultBitmap = CDrawEngine::CreateBitmap32(dc, w, h, nullptr);
  if (pictureBitmap && resultBitmap) {
    BitmapDC picture(dc, pictureBitmap), result(dc, resultBitmap);
    BitBlt(picture.dc(), 0, 0, w, h, dc, dest.left, dest.top, SRCCOPY);
    if (!IsZero(spec.centerRect)) {
      CDrawEngine::PaintCenterRect(picture.dc(), bitmap, local, local, source, spec.centerRect, spec.alignTop,
                                   spec.alignLeft, spec.fade);
    } else {
      CDrawEngine::PaintNineGrid(picture.dc(), bitmap, local, local, source, spec.corner, hasAlpha, spec.fade,
                                 spec.hole, spec.xTiled, spec.yTiled);
    }
    BitBlt(result.dc(), 0, 0, w, h, dc, dest.left, dest.top, SRCCOPY);
    GpGraphics* graphics = nullptr;
    GpBitmap* image = nullptr;
    GpPath* path = nullptr;
    GpTexture* texture = nullptr;
    int cx = spec.roundCorner.cx, cy = spec.roundCorner.cy;
    if (GdipCreateFromHDC(result.dc(), &graphics) == Ok &&
        GdipCreateBitmapFromHBITMAP(pictureBitmap, nullptr, &image) == Ok &&
        GdipCreatePath(FillModeAlternate, &path) == Ok && GdipCreateTexture(image, WrapModeTile, &texture) == Ok) {
      GdipSetSmoothingMode(graphics, SmoothingModeAntiAlias);
      GdipSetPixelOffsetMode(graphics, PixelOffsetModeHighQuality);
      GdipAddPathArcI(path, 0, 0, cx * 2, cy * 2, 180, 90);
      GdipAddPathLineI(path, cx, 0, w - cx, 0);
      GdipAddPathArcI(path, w - cx * 2, 0, cx * 2, cy * 2, 270, 90);
      GdipAddPathLineI(path, w, cy, w, h - cy);
      GdipAddPathArcI(path, w - cx * 2, h - cy * 2, cx * 2, cy * 2, 0, 90);
      GdipAddPathLineI(path, w - cx, h, cx, h);
      GdipAddPathArcI(path, 0, h - cy * 2, cx * 2, cy * 2, 90, 90);
      GdipAddPathLineI(path, 0, h - cy, 0, cy);
      GdipFillPath(graphics, texture, path);
      BitBlt(dc, dest.left, dest.top, w, h, result.dc(), 0, 0, SRCCOPY);
    }
    if (texture) GdipDeleteBrush(texture);
    if (path) GdipDeletePath(path);
    if (image) GdipDisposeImage(image);
    if (graphics) GdipDeleteGraphics(graphics);
  }
  if (pictureBitmap) DeleteObject(pictureBitmap);
  if (resultBitmap) DeleteObject(resultBitmap);
}

// Draws one piece, copying when the image is opaque and blending otherwise.
struct PiecePainter {
  HDC dc;
  HDC source;
  bool opaque;
  AlphaBlendFn blend;
  BLENDFUNCTION function;

  void Draw(const RECT& d, const RECT& s) const {
    int dw = Width(d), dh = Height(d), sw = Width(s), sh = Height(s);
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    if (!opaque) {
      blend(dc, d.left, d.top, dw, dh, source, s.left, s.top, sw, sh, function);
    } else if (dw == sw && dh == sh) {
      BitBlt(dc, d.left, d.top, dw, dh, source, s.left, s.top, SRCCOPY);
    } else {
      StretchBlt(dc, d.left, d.top, dw, dh, source, s.left, s.top, sw, sh, SRCCOPY);
    }
  }
};

// The middle of a nine-grid, stretched or tiled; the last column and row of tiles are cut.
void PaintMiddle(const PiecePainter& painter, const RECT& d, const RECT& s, const RECT& paint, bool xTiled,
                 bool yTiled) {
  int sw = Width(s), sh = Height(s);
  if (!xTiled && !yTiled) {
    painter.Draw(d, s);
    return;
  }
  int stepX = xTiled ? sw : Width(d);
  int stepY = yTiled ? sh : Height(d);
  if (stepX <= 0 || stepY <= 0) return;
  for (int y = d.top; y < d.bottom; y += stepY) {
    int rowHeight = std::min<int>(stepY, d.bottom - y);
    for (int x = d.left; x < d.right; x += stepX) {
      int columnWidth = std::min<int>(stepX, d.right - x);
      RECT piece = {x, y, x + columnWidth, y + rowHeight};
      if (!Touches(piece, paint)) continue;
      RECT from = {s.left, s.top, xTiled ? s.left + columnWidth : s.right, yTiled ? s.top + rowHeight : s.bottom};
      painter.Draw(piece, from);
    }
  }
}

}  // namespace

void CDrawEngine::PaintNineGrid(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                                const RECT& corner, bool hasAlpha, BYTE fade, bool hole, bool xTiled, bool yTiled) {
  if (!dc || !bitmap) return;
  SetStretchBltMode(dc, HALFTONE);
  BitmapDC image(dc, bitmap);
  // The software blend stands in when the platform has none, so blending is always there:
  // only opaque images at full opacity are copied.
  PiecePainter painter{dc, image.dc(), !hasAlpha && fade == 255, Blender(),
                       {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA}};
  const LONG cl = corner.left, ct = corner.top, cr = corner.right, cb = corner.bottom;
  if (painter.opaque && IsZero(corner) && Width(dest) == Width(source) && Height(dest) == Height(source)) {
    RECT part;
    if (IntersectRect(&part, &dest, &paint)) {
      BitBlt(dc, part.left, part.top, Width(part), Height(part), image.dc(), source.left + part.left - dest.left,
             source.top + part.top - dest.top, SRCCOPY);
    }
    return;
  }
  if (!hole) {
    RECT inner = {dest.left + cl, dest.top + ct, dest.right - cr, dest.bottom - cb};
    RECT innerSource = {source.left + cl, source.top + ct, source.right - cr, source.bottom - cb};
    if (Touches(inner, paint) && Width(innerSource) > 0 && Height(innerSource) > 0) {
      PaintMiddle(painter, inner, innerSource, paint, xTiled, yTiled);
    }
  }
  const struct {
    bool draw;
    RECT d;
    RECT s;
  } pieces[] = {
      {cl > 0 && ct > 0, {dest.left, dest.top, dest.left + cl, dest.top + ct},
       {source.left, source.top, source.left + cl, source.top + ct}},
      {ct > 0, {dest.left + cl, dest.top, dest.right - cr, dest.top + ct},
       {source.left + cl, source.top, source.right - cr, source.top + ct}},
      {cr > 0 && ct > 0, {dest.right - cr, dest.top, dest.right, dest.top + ct},
       {source.right - cr, source.top, source.right, source.top + ct}},
      {cl > 0, {dest.left, dest.top + ct, dest.left + cl, dest.bottom - cb},
       {source.left, source.top + ct, source.left + cl, source.bottom - cb}},
      {cr > 0, {dest.right - cr, dest.top + ct, dest.right, dest.bottom - cb},
       {source.right - cr, source.top + ct, source.right, source.bottom - cb}},
      {cl > 0 && cb > 0, {dest.left, dest.bottom - cb, dest.left + cl, dest.bottom},
       {source.left, source.bottom - cb, source.left + cl, source.bottom}},
      {cb > 0, {dest.left + cl, dest.bottom - cb, dest.right - cr, dest.bottom},
       {source.left + cl, source.bottom - cb, source.right - cr, source.bottom}},
      {cr > 0 && cb > 0, {dest.right - cr, dest.bottom - cb, dest.right, dest.bottom},
       {source.right - cr, source.bottom - cb, source.right, source.bottom}},
  };
  for (const auto& piece : pieces) {
    if (piece.draw && Touches(piece.d, paint)) painter.Draw(piece.d, piece.s);
  }
}

void CDrawEngine::PaintCenterRect(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                                  const RECT& k, bool alignTop, bool alignLeft, BYTE fade) {
  if (!dc || !bitmap) return;
  const RECT& s = source;
  const RECT& d = dest;
  LONG mL = k.left - s.left, mR = s.right - k.right, mT = k.top - s.top, mB = s.bottom - k.bottom;
  if (mL < 0 || mR < 0 || mT < 0 || mB < 0 || (mL == 0 && mR == 0) || (mT == 0 && mB == 0)) return;
  BitmapDC image(dc, bitmap);
  PiecePainter painter{dc, image.dc(), false, Blender(), {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA}};
  SetStretchBltMode(dc, HALFTONE);
  LONG kw = Width(k), kh = Height(k);
  bool wide = kw < Width(d), tall = kh < Height(d);
  LONG x0, x1, sx0, sx1, y0, y1, sy0, sy1;
  if (wide) {
    x0 = d.left + static_cast<LONG>(double(Width(d) - kw) * mL / (mL + mR));
    x1 = x0 + kw;
    sx0 = k.left;
    sx1 = k.right;
  } else {
    x0 = d.left;
    x1 = d.right;
    sx0 = alignLeft ? k.left : k.left + (kw - Width(d)) / 2;
    sx1 = sx0 + Width(d);
  }
  if (tall) {
    y0 = d.top + static_cast<LONG>(double(Height(d) - kh) * mT / (mT + mB));
    y1 = y0 + kh;
    sy0 = k.top;
    sy1 = k.bottom;
  } else {
    y0 = d.top;
    y1 = d.bottom;
    sy0 = alignTop ? k.top : k.top + (kh - Height(d)) / 2;
    sy1 = sy0 + Height(d);
  }
  auto draw = [&](RECT piece, RECT from) {
    if (Touches(piece, paint)) painter.Draw(piece, from);
  };
  // Source bands next to the center piece, as long as the gaps need, never beyond S.
  LONG leftFrom = std::max(s.left, sx0 - (x0 - d.left)), rightTo = std::min(s.right, sx1 + (d.right - x1));
  LONG topFrom = std::max(s.top, sy0 - (y0 - d.top)), bottomTo = std::min(s.bottom, sy1 + (d.bottom - y1));
  draw({x0, y0, x1, y1}, {sx0, sy0, sx1, sy1});
  if (tall) {
    draw({x0, d.top, x1, y0}, {sx0, topFrom, sx1, sy0});
    if (wide) {
      draw({d.left, d.top, x0, y0}, {leftFrom, topFrom, sx0, sy0});
      draw({x1, d.top, d.right, y0}, {sx1, topFrom, rightTo, sy0});
    }
  }
  if (wide) {
    draw({d.left, y0, x0, y1}, {leftFrom, sy0, sx0, sy1});
    draw({x1, y0, d.right, y1}, {sx1, sy0, rightTo, sy1});
  }
  if (tall) {
    draw({x0, y1, x1, d.bottom}, {sx0, sy1, sx1, bottomTo});
    if (wide) {
      draw({d.left, y1, x0, d.bottom}, {leftFrom, sy1, sx0, bottomTo});
      draw({x1, y1, d.right, d.bottom}, {sx1, sy1, rightTo, bottomTo});
    }
  }
}

HBITMAP CDrawEngine::CreateBitmap32(HDC dc, int width, int height, DWORD** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bits) *bits = static_cast<DWORD*>(pixels);
  return bitmap;
}

// Source-over in software with the platform blend's result: per pixel, with the source
// premultiplied, each channel becomes source * c + destination * (1 - source alpha * c),
// c being the constant opacity.
BOOL CDrawEngine::BlendFallback(HDC dest, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                                BLENDFUNCTION blend) {
  if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return FALSE;
  DWORD* srcBits = nullptr;
  DWORD* dstBits = nullptr;
  HBITMAP srcBitmap = CDrawEngine::CreateBitmap32(dest, width, height, &srcBits);
  HBITMAP dstBitmap = CDrawEngine::CreateBitmap32(dest, width, height, &dstBits);
  BOOL ok = FALSE;
  if (srcBitmap && dstBitmap) {
    BitmapDC srcCopy(dest, srcBitmap), dstCopy(dest, dstBitmap);
    SetStretchBltMode(srcCopy.dc(), HALFTONE);
    StretchBlt(srcCopy.dc(), 0, 0, width, height, src, sx, sy, sw, sh, SRCCOPY);
    BitBlt(dstCopy.dc(), 0, 0, width, height, dest, x, y, SRCCOPY);
    double constant = blend.SourceConstantAlpha / 255.0;
    bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    for (int i = 0; i < width * height; ++i) {
      DWORD s = srcBits[i], d = dstBits[i];
      double sa = perPixel ? (s >> 24) / 255.0 : 1.0;
      double a = sa * constant;
      DWORD out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        double sc = shift == 24 ? sa * 255.0 : ((s >> shift) & 0xFF);
        double value = sc * constant + ((d >> shift) & 0xFF) * (1.0 - a);
        out |= static_cast<DWORD>(std::min(255.0, value)) << shift;
      }
      dstBits[i] = out;
    }
    ok = BitBlt(dest, x, y, width, height, dstCopy.dc(), 0, 0, SRCCOPY);
  }
  if (srcBitmap) DeleteObject(srcBitmap);
  if (dstBitmap) DeleteObject(dstBitmap);
  return ok;
}

}  // namespace SkinUI
