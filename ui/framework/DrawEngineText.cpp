// Plain text and text on layered windows.
#include "ui/framework/DrawEngine.h"

namespace SkinUI {

void CDrawEngine::PaintPlainText(HDC dc, IDrawHost* host, RECT rect, LPCWSTR text, DWORD color, int fontIndex,
                                 UINT flags) {
  if (!dc || !host || !text) return;
  HFONT font = host->GetFontHandle(fontIndex);
  if (host->IsLayeredPaint()) {
    PaintTextWithAlpha(dc, rect, text, color, font, flags);
    return;
  }
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, ToColorRef(color));
  HGDIOBJ oldFont = SelectObject(dc, font);
  DrawTextW(dc, text, -1, &rect, flags | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

// The text is measured within maxWidth, drawn white on black, and each pixel's coverage
// t (its blue byte) becomes the colour scaled by t/256 with alpha t.
HBITMAP CDrawEngine::MakeTextAlphaBitmap(HDC dc, LPCWSTR text, DWORD color, HFONT font, UINT flags, int maxWidth,
                                         SIZE* size) {
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ oldFont = SelectObject(memory, font);
  UINT measureFlags = (flags & (DT_WORDBREAK | DT_SINGLELINE | DT_END_ELLIPSIS)) | DT_NOPREFIX;
  RECT bounds = {0, 0, maxWidth > 0 ? maxWidth : 0x7FFF, 0};
  DrawTextW(memory, text, -1, &bounds, measureFlags | DT_CALCRECT);
  int width = bounds.right, height = bounds.bottom;
  DWORD* bits = nullptr;
  HBITMAP bitmap = width > 0 && height > 0 ? CreateBitmap32(dc, width, height, &bits) : nullptr;
  if (bitmap) {
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    for (int i = 0; i < width * height; ++i) bits[i] = 0xFF000000;
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, RGB(255, 255, 255));
    DrawTextW(memory, text, -1, &bounds, measureFlags);
    SelectObject(memory, oldBitmap);
    DWORD r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    for (int i = 0; i < width * height; ++i) {
      DWORD t = bits[i] & 0xFF;
      bits[i] = (t << 24) | (((r * t) >> 8) << 16) | (((g * t) >> 8) << 8) | ((b * t) >> 8);
    }
    if (size) *size = {width, height};
  }
  SelectObject(memory, oldFont);
  DeleteDC(memory);
  return bitmap;
}

// Placed in the rectangle by the alignment flags and blended with per-pixel alpha; not
// clipped to the rectangle.
void CDrawEngine::PaintTextWithAlpha(HDC dc, const RECT& rect, LPCWSTR text, DWORD color, HFONT font, UINT flags) {
  if (!dc || !text || !*text) return;
  SIZE size = {};
  HBITMAP bitmap = MakeTextAlphaBitmap(dc, text, color, font, flags, rect.right - rect.left, &size);
  if (!bitmap) return;
  int x = rect.left, y = rect.top;
  if (flags & DT_VCENTER) {
    y = rect.top + (rect.bottom - rect.top - size.cy) / 2;
  } else if (flags & DT_BOTTOM) {
    y = rect.bottom - size.cy;
  }
  if (flags & DT_CENTER) {
    x = rect.left + (rect.right - rect.left - size.cx) / 2;
  } else if (flags & DT_RIGHT) {
    x = rect.right - size.cx;
  }
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  Blender()(dc, x, y, size.cx, size.cy, memory, 0, 0, size.cx, size.cy, {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
}

}  // namespace SkinUI
