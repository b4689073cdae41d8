#include "support/DrawTestHost.h"

#include <algorithm>
#include <cwchar>

#include "support/TempPrefix.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

using namespace SkinUI;

namespace skintest {

TestDrawHost::TestDrawHost() {
  defaultFont_ = MakeFont(L"宋体", 12, false, false, false);
}

TestDrawHost::~TestDrawHost() {
  for (auto& [name, image] : images_) CDrawEngine::FreeSkinImage(std::move(image));
  DeleteObject(defaultFont_.font);
  for (auto& font : fonts_) DeleteObject(font.font);
}

const SkinImageRecord* TestDrawHost::GetSkinImage(LPCWSTR name, LPCWSTR resourceType, DWORD mask) {
  auto found = images_.find(name);
  if (found != images_.end()) return found->second.get();
  ++imageLoads;
  auto image = CDrawEngine::LoadSkinImage(name, resourceType, mask);
  if (!image) return nullptr;
  image->mask = mask;
  return (images_[name] = std::move(image)).get();
}

SkinFontRecord TestDrawHost::MakeFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  LOGFONTW lf = {};
  lf.lfHeight = -size;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = underline;
  lf.lfItalic = italic;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  SkinFontRecord record;
  record.font = CreateFontIndirectW(&lf);
  record.faceName = face;
  record.size = size;
  record.bold = bold;
  record.underline = underline;
  record.italic = italic;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, record.font);
  GetTextMetricsW(dc, &record.metrics);
  SelectObject(dc, old);
  DeleteDC(dc);
  return record;
}

HFONT TestDrawHost::GetFontHandle(int index) {
  if (index < 0 || index >= static_cast<int>(fonts_.size())) return defaultFont_.font;
  return fonts_[static_cast<size_t>(index)].font;
}

const SkinFontRecord* TestDrawHost::GetFontInfoForHandle(HFONT font) {
  if (font == defaultFont_.font) return &defaultFont_;
  for (auto& record : fonts_) {
    if (record.font == font) return &record;
  }
  return nullptr;
}

HFONT TestDrawHost::FindSkinFont(LPCWSTR faceName, int size, bool bold, bool underline, bool italic) {
  for (auto& r : fonts_) {
    if (r.faceName == faceName && r.size == size && r.bold == bold && r.underline == underline && r.italic == italic) {
      return r.font;
    }
  }
  return nullptr;
}

HFONT TestDrawHost::AddSkinFont(LPCWSTR faceName, int size, bool bold, bool underline, bool italic) {
  fonts_.push_back(MakeFont(faceName, size, bold, underline, italic));
  return fonts_.back().font;
}

Canvas::Canvas(int width, int height, DWORD background) : width_(width), height_(height), background_(background) {
  bitmap_ = CDrawEngine::CreateBitmap32(nullptr, width, height, &bits_);
  dc_ = CreateCompatibleDC(nullptr);
  old_ = SelectObject(dc_, bitmap_);
  std::fill(bits_, bits_ + width * height, background);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

RECT Canvas::InkBox() {
  RECT box = {width_, height_, 0, 0};
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (At(x, y) == background_) continue;
      box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
             std::max<LONG>(box.bottom, y + 1)};
    }
  }
  if (box.right == 0) box = {0, 0, 0, 0};
  return box;
}

int Canvas::Count(DWORD color) { return static_cast<int>(std::count(bits_, bits_ + width_ * height_, color)); }

bool WritePng(const std::string& hostPath, int width, int height, const std::vector<DWORD>& argb) {
  std::vector<unsigned char> rgba;
  for (DWORD p : argb) {
    rgba.push_back(static_cast<unsigned char>(p >> 16));
    rgba.push_back(static_cast<unsigned char>(p >> 8));
    rgba.push_back(static_cast<unsigned char>(p));
    rgba.push_back(static_cast<unsigned char>(p >> 24));
  }
  std::string png;
  auto sink = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
  };
  if (!stbi_write_png_to_func(sink, &png, width, height, 4, rgba.data(), width * 4)) return false;
  return WriteHostFile(hostPath, png);
}

}  // namespace skintest
