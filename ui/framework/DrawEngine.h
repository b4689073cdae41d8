// Stateless drawing routines on a device context: image descriptions, nine-grids, the
// center-rectangle painter, fills, outlines, colour adjustment and text (plain, on layered
// windows, and with inline tags). Colours are 0xAARRGGBB.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/framework/DrawHost.h"

namespace SkinUI {

// The parsed form of an image description string.
struct ImageDrawSpec {
  std::wstring name;
  std::wstring resourceType;
  RECT dest = {};
  RECT source = {};
  RECT corner = {};
  RECT centerRect = {};
  DWORD mask = 0;
  BYTE fade = 255;
  bool hole = false;
  bool xTiled = false;
  bool yTiled = false;
  bool stretch = true;
  bool center = false;
  bool alignTop = false;
  bool alignLeft = false;
  SIZE roundCorner = {};
};

// The signature of the platform's alpha blend, and of BlendFallback.
using AlphaBlendFn = BOOL (*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL (*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

class CDrawEngine {
 public:
  static bool PaintImageDescription(HDC dc, IDrawHost* host, const RECT& paint, const RECT& item,
                                    LPCWSTR description, LPCWSTR modifier = nullptr);
  static bool PaintImageWithSpec(HDC dc, IDrawHost* host, const RECT& item, const RECT& paint, LPCWSTR name,
                                 LPCWSTR resourceType, const ImageDrawSpec& spec);
  static void PaintNineGrid(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                            const RECT& corner, bool hasAlpha, BYTE fade, bool hole, bool xTiled, bool yTiled);
  static void PaintCenterRect(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source,
                              const RECT& centerRect, bool alignTop, bool alignLeft, BYTE fade);

  static std::unique_ptr<SkinImageRecord> LoadSkinImage(LPCWSTR name, LPCWSTR resourceType, DWORD mask);
  static void FreeSkinImage(std::unique_ptr<SkinImageRecord> image);

  static void FillColor(HDC dc, const RECT& rect, DWORD color);
  static void FillGradient(HDC dc, const RECT& rect, DWORD first, DWORD second, int steps);
  static void StrokeLine(HDC dc, const RECT& fromTo, int width, DWORD color, int penStyle = PS_SOLID);
  static void StrokeRect(HDC dc, const RECT& rect, int width, DWORD color);
  static void StrokeRoundRect(HDC dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight, DWORD color);

  static void PaintPlainText(HDC dc, IDrawHost* host, RECT rect, LPCWSTR text, DWORD color, int fontIndex,
                             UINT flags);
  static void PaintMarkupText(HDC dc, IDrawHost* host, RECT& rect, LPCWSTR text, DWORD color, RECT* linkRects,
                              std::wstring* linkTexts, int& linkCount, UINT flags);
  static void PaintTextWithAlpha(HDC dc, const RECT& rect, LPCWSTR text, DWORD color, HFONT font, UINT flags);
  // White-on-black coverage turned into a premultiplied bitmap of the text in the colour.
  static HBITMAP MakeTextAlphaBitmap(HDC dc, LPCWSTR text, DWORD color, HFONT font, UINT flags, int maxWidth,
                                     SIZE* size);

  static DWORD AdjustHsl(DWORD color, short hue, short saturation, short lightness);
  static void RgbToHsl(DWORD color, float* hue, float* saturation, float* lightness);
  static DWORD HslToRgb(float hue, float saturation, float lightness);

  // Per-pixel source-over blend in software, for systems without the platform's one.
  static BOOL BlendFallback(HDC dest, int x, int y, int width, int height, HDC src, int sx, int sy, int sw, int sh,
                            BLENDFUNCTION blend);

  // The platform's alpha blend and gradient fill, looked up once in "msimg32.dll"; null
  // when missing. ResolvePlatformEntryPoints looks them up again (tests).
  static AlphaBlendFn PlatformAlphaBlend();
  static GradientFillFn PlatformGradientFill();
  static void ResolvePlatformEntryPoints();
  // The platform's blend, or BlendFallback.
  static AlphaBlendFn Blender();

  // A 32-bit top-down DIB section (premultiplied B,G,R,A) and its pixels.
  static HBITMAP CreateBitmap32(HDC dc, int width, int height, DWORD** bits);

  static COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  }
};

}  // namespace SkinUI
