// A small drawing host for the engine's tests: an image cache over the resource store,
// a font table built from the default GUI font, fixed colours and a settable mouse point.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/framework/DrawEngine.h"
#include "ui/framework/DrawHost.h"

namespace skintest {

class TestDrawHost : public SkinUI::IDrawHost {
 public:
  TestDrawHost();
  ~TestDrawHost() override;

  const SkinUI::SkinImageRecord* GetSkinImage(LPCWSTR name, LPCWSTR resourceType, DWORD mask) override;
  HFONT GetFontHandle(int index) override;
  const SkinUI::SkinFontRecord* GetDefaultFontInfo() override { return &defaultFont_; }
  const SkinUI::SkinFontRecord* GetFontInfoForHandle(HFONT font) override;
  HFONT FindSkinFont(LPCWSTR faceName, int size, bool bold, bool underline, bool italic) override;
  HFONT AddSkinFont(LPCWSTR faceName, int size, bool bold, bool underline, bool italic) override;
  DWORD GetLinkTextColor() override { return 0xFF0000FF; }
  DWORD GetLinkHoverTextColor() override { return 0xFFD3215F; }
  DWORD GetSelectedBackColor() override { return 0xFFBAE4FF; }
  POINT GetLastMousePos() override { return mouse; }
  bool IsLayeredPaint() override { return layered; }

  POINT mouse = {-1, -1};
  bool layered = false;
  int imageLoads = 0;

 private:
  SkinUI::SkinFontRecord MakeFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
  std::map<std::wstring, std::unique_ptr<SkinUI::SkinImageRecord>> images_;
  SkinUI::SkinFontRecord defaultFont_;
  std::vector<SkinUI::SkinFontRecord> fonts_;
};

// A memory DC with a 32-bit top-down DIB selected, filled with a background colour.
class Canvas {
 public:
  Canvas(int width, int height, DWORD background);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  DWORD& At(int x, int y) { return bits_[y * width_ + x]; }
  // Bounding box of the pixels that differ from the background.
  RECT InkBox();
  int Count(DWORD color);
  bool Contains(DWORD color) { return Count(color) > 0; }

 private:
  int width_, height_;
  DWORD background_;
  DWORD* bits_ = nullptr;
  HBITMAP bitmap_;
  HDC dc_;
  HGDIOBJ old_;
};

// Writes a PNG of width x height B,G,R,A pixels given as 0xAARRGGBB (not premultiplied).
bool WritePng(const std::string& hostPath, int width, int height, const std::vector<DWORD>& argb);

}  // namespace skintest
