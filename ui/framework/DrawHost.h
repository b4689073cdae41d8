// What the drawing engine needs from the window's UI manager: its image cache, its fonts,
// its link and selection colours, the last mouse position and whether it paints a layered
// window. The UI manager implements it; tests use a small host of their own.
#pragma once

#include <windows.h>

#include <string>

namespace SkinUI {

// A decoded image, ready for blending: a 32-bit top-down DIB of premultiplied B,G,R,A.
struct SkinImageRecord {
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
  bool hasAlpha = false;
  std::wstring resourceType;  // empty for archive entries and files
  DWORD mask = 0;
};

// A font of the host's font table.
struct SkinFontRecord {
  HFONT font = nullptr;
  std::wstring faceName;
  int size = 0;  // pixels; the font's height is -size
  bool bold = false;
  bool underline = false;
  bool italic = false;
  TEXTMETRICW metrics = {};
};

class IDrawHost {
 public:
  virtual ~IDrawHost() = default;

  // The cached image of that name, loaded with the type and mask on the first request.
  virtual const SkinImageRecord* GetSkinImage(LPCWSTR name, LPCWSTR resourceType, DWORD mask) = 0;

  // The font of that index, or the default font when the index is out of range.
  virtual HFONT GetFontHandle(int index) = 0;
  virtual const SkinFontRecord* GetDefaultFontInfo() = 0;
  // The record of a font handle of this host (metrics filled), or null.
  virtual const SkinFontRecord* GetFontInfoForHandle(HFONT font) = 0;
  virtual HFONT FindSkinFont(LPCWSTR faceName, int size, bool bold, bool underline, bool italic) = 0;
  virtual HFONT AddSkinFont(LPCWSTR faceName, int size, bool bold, bool underline, bool italic) = 0;

  virtual DWORD GetLinkTextColor() = 0;
  virtual DWORD GetLinkHoverTextColor() = 0;
  virtual DWORD GetSelectedBackColor() = 0;
  virtual POINT GetLastMousePos() = 0;
  // True when the host paints a layered window with per-pixel alpha ("bktrans").
  virtual bool IsLayeredPaint() = 0;
};

}  // namespace SkinUI
