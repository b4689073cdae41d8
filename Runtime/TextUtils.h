// Conversions between the program's wide strings and the byte encodings at its edges
// (the ANSI code page for libcurl and header lines, UTF-8 for the manifest, UTF-16LE
// for the files that fix it), and printf-style wide formatting without a length limit.
// No function reports errors: a failed conversion or format gives an empty string.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

// Wide text in the ANSI code page; characters it cannot represent become a space.
std::string WideToAnsi(const std::wstring& text);
// Text in the ANSI code page to wide text.
std::wstring AnsiToWide(const std::string& text);
// UTF-8 bytes to wide text; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& text);
// The text's UTF-16 code units, little-endian, without byte-order mark or terminator.
std::string WideToUtf16Le(const std::wstring& text);

// Formats with the Windows conventions (%s wide, %S narrow, %I64d ...); the length is
// measured first, so nothing is cut. A null or invalid format gives "".
std::wstring FormatString(const wchar_t* format, ...);
std::wstring FormatStringV(const wchar_t* format, va_list args);

// Removes leading and trailing white space (as iswspace classes it) in place.
std::wstring& TrimWhitespace(std::wstring& text);
