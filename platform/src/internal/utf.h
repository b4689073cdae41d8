// Conversions between wide strings (UTF-32 code points on Linux, wchar_t) and the byte
// encodings at the platform's boundaries: UTF-8 for host names and files, UTF-16LE for
// the file formats that fix it. Invalid input becomes U+FFFD; nothing is dropped.
#pragma once

#include <string>
#include <string_view>

namespace kvplat {

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);
std::string WideToUtf16Le(std::wstring_view text);
std::wstring Utf16LeToWide(std::string_view bytes);

}  // namespace kvplat
