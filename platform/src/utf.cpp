// UTF-8 and UTF-16LE conversions for the platform's own boundaries.
#include "internal/utf.h"

#include <cstdint>

namespace kvplat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(std::string& out, char32_t c) {
  if (!IsScalar(c)) c = kReplacement;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one sequence at bytes[i]; advances i past it (one byte for an invalid lead,
// or up to the first byte that breaks the sequence).
char32_t DecodeUtf8(std::string_view bytes, size_t& i) {
  auto b0 = static_cast<uint8_t>(bytes[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra;
  char32_t c, min;
  if (b0 >= 0xC2 && b0 <= 0xDF) { extra = 1; c = b0 & 0x1F; min = 0x80; }
  else if (b0 >= 0xE0 && b0 <= 0xEF) { extra = 2; c = b0 & 0x0F; min = 0x800; }
  else if (b0 >= 0xF0 && b0 <= 0xF4) { extra = 3; c = b0 & 0x07; min = 0x10000; }
  else {
    ++i;
    return kReplacement;
  }
  size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= bytes.size() || (static_cast<uint8_t>(bytes[j]) & 0xC0) != 0x80) {
      i = j;
      return kReplacement;
    }
    c = (c << 6) | (static_cast<uint8_t>(bytes[j]) & 0x3F);
  }
  i = j;
  return (c < min || !IsScalar(c)) ? kReplacement : c;
}

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) AppendUtf8(out, static_cast<char32_t>(w));
  return out;
}

std::wstring Utf8ToWide(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) out += static_cast<wchar_t>(DecodeUtf8(bytes, i));
  return out;
}

std::string WideToUtf16Le(std::wstring_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  auto unit = [&out](uint32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>((u >> 8) & 0xFF);
  };
  for (wchar_t w : text) {
    auto c = static_cast<char32_t>(w);
    if (!IsScalar(c)) c = kReplacement;
    if (c >= 0x10000) {
      c -= 0x10000;
      unit(0xD800 | (c >> 10));
      unit(0xDC00 | (c & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out;
}

std::wstring Utf16LeToWide(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size() / 2);
  auto unitAt = [&bytes](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8);
  };
  for (size_t i = 0; i + 1 < bytes.size();) {
    uint32_t u = unitAt(i);
    i += 2;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < bytes.size()) {
      uint32_t low = unitAt(i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        i += 2;
        out += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        continue;
      }
    }
    out += static_cast<wchar_t>((u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
  }
  if (bytes.size() % 2) out += static_cast<wchar_t>(kReplacement);
  return out;
}

}  // namespace kvplat
