// Decoding skin images (stb_image, the one place that holds its implementation) into
// premultiplied 32-bit bitmaps, with the optional colour-key mask.
#include <cstring>
#include <cwchar>
#include <vector>

#include "ui/framework/DrawEngine.h"
#include "ui/framework/SkinResources.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace SkinUI {

namespace {

struct StbPixels {
  unsigned char* data = nullptr;
  ~StbPixels() { stbi_image_free(data); }
};

}  // namespace

std::unique_ptr<SkinImageRecord> CDrawEngine::LoadSkinImage(LPCWSTR name, LPCWSTR resourceType, DWORD mask) {
  // With a resource type the name is a numeric resource id, given as such or as digits.
  if (resourceType && name && !IS_INTRESOURCE(name) && *name >= L'0' && *name <= L'9') {
    name = MAKEINTRESOURCEW(static_cast<WORD>(std::wcstoul(name, nullptr, 10)));
  }
  std::vector<BYTE> bytes;
  if (!CSkinResources::ReadResourceBytes(name, resourceType, bytes) || bytes.empty()) return nullptr;
  if (bytes.size() > 0x7FFFFFFF) return nullptr;
  int width = 0, height = 0, channels = 0;
  StbPixels pixels;
  pixels.data = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
  if (!pixels.data || width <= 0 || height <= 0) return nullptr;
  DWORD* bits = nullptr;
  HBITMAP bitmap = CreateBitmap32(nullptr, width, height, &bits);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  auto image = std::make_unique<SkinImageRecord>();
  image->bitmap = bitmap;
  image->width = width;
  image->height = height;
  DWORD* out = bits;
  const unsigned char* in = pixels.data;
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i, in += 4) {
    DWORD r = in[0], g = in[1], b = in[2], a = in[3];
    if (a != 255) {
      r = r * a / 255;
      g = g * a / 255;
      b = b * a / 255;
      image->hasAlpha = true;
    }
    DWORD pixel = (a << 24) | (r << 16) | (g << 8) | b;
    if (mask != 0 && pixel == mask) {
      pixel = 0;
      image->hasAlpha = true;
    }
    out[i] = pixel;
  }
  return image;
}

void CDrawEngine::FreeSkinImage(std::unique_ptr<SkinImageRecord> image) {
  if (image && image->bitmap) DeleteObject(image->bitmap);
}

}  // namespace SkinUI
