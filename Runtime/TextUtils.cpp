// Text encoding helpers over the code-page conversions and the wide formatting family.
#include "Runtime/TextUtils.h"

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cwctype>

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  // Measured first: a UTF-8 code page takes up to four bytes per character, more than the
  // two per unit of the double-byte code pages.
  int units = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, " ", nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, text.data(), units, bytes.data(), length, " ", nullptr) != length)
    return {};
  return bytes;
}

namespace {

// One unit per byte is the most any code page needs.
std::wstring BytesToWide(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) return {};
  std::wstring text(bytes.size() + 1, L'\0');
  int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                   text.data(), static_cast<int>(text.size()));
  if (length <= 0) return {};
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text) { return BytesToWide(CP_ACP, text); }

std::wstring Utf8ToWide(const std::string& text) { return BytesToWide(CP_UTF8, text); }

std::string WideToUtf16Le(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(2 * text.size());
  auto unit = [&bytes](uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
  };
  for (wchar_t ch : text) {
    auto code = static_cast<uint32_t>(ch);
    if (code <= 0xFFFF) {
      unit(code);  // where wchar_t is 16 bits this is every unit
    } else if (code <= 0x10FFFF) {
      code -= 0x10000;
      unit(0xD800 | (code >> 10));
      unit(0xDC00 | (code & 0x3FF));
    } else {
      unit(0xFFFD);
    }
  }
  return bytes;
}

std::wstring FormatStringV(const wchar_t* format, va_list args) {
  if (!format) return {};
  va_list measure;
  va_copy(measure, args);
  int length = _vscwprintf(format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  va_list copy;
  va_copy(copy, args);
  int written = _vsnwprintf(text.data(), text.size(), format, copy);
  va_end(copy);
  if (written <= 0) return {};
  text.resize(static_cast<size_t>(written));
  return text;
}

std::wstring FormatString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatStringV(format, args);
  va_end(args);
  return text;
}

std::wstring& TrimWhitespace(std::wstring& text) {
  auto isSpace = [](wchar_t ch) { return std::iswspace(static_cast<wint_t>(ch)) != 0; };
  size_t end = text.size();
  while (end > 0 && isSpace(text[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && isSpace(text[begin])) ++begin;
  text.erase(end);
  text.erase(0, begin);
  return text;
}
