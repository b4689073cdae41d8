// Code-page conversions. CP_UTF8 is UTF-8 with U+FFFD for what cannot be converted;
// CP_ACP is the codeset of the process locale (LC_CTYPE), which plays the ANSI code page.
#include <windows.h>

#include <langinfo.h>

#include <climits>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>

#include "internal/utf.h"

namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr char kSystemDefaultChar = '?';

bool LocaleIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// Bytes of the locale codeset to wide text; each undecodable byte becomes U+FFFD.
std::wstring DecodeLocale(std::string_view bytes) {
  if (LocaleIsUtf8()) return kvplat::Utf8ToWide(bytes);
  std::wstring out;
  out.reserve(bytes.size());
  std::mbstate_t state{};
  for (size_t i = 0; i < bytes.size();) {
    if (bytes[i] == '\0') {  // mbrtowc reports a zero length for it
      out += L'\0';
      ++i;
      continue;
    }
    wchar_t ch;
    size_t used = std::mbrtowc(&ch, bytes.data() + i, bytes.size() - i, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      out += kReplacement;
      state = std::mbstate_t{};
      ++i;
    } else {
      out += ch;
      i += used;
    }
  }
  return out;
}

// Wide text to the locale codeset; what it cannot represent becomes defaultChar.
std::string EncodeLocale(std::wstring_view text, char defaultChar, bool& usedDefault) {
  std::string out;
  out.reserve(text.size());
  std::mbstate_t state{};
  char bytes[MB_LEN_MAX];
  usedDefault = false;
  for (wchar_t ch : text) {
    size_t length = std::wcrtomb(bytes, ch, &state);
    if (length == static_cast<size_t>(-1)) {
      out += defaultChar;
      usedDefault = true;
      state = std::mbstate_t{};
    } else {
      out.append(bytes, length);
    }
  }
  return out;
}

// The documented length rules: -1 means a terminated input whose terminator counts,
// 0 or below -1 is invalid.
bool InputLength(int given, size_t terminatedLength, size_t& length) {
  if (given == 0 || given < -1) return false;
  length = given == -1 ? terminatedLength + 1 : static_cast<size_t>(given);
  return true;
}

// Stores the converted units: the count, the needed count when measuring (size 0), or
// 0 with ERROR_INSUFFICIENT_BUFFER when it does not fit.
template <class Unit>
int StoreResult(const std::basic_string<Unit>& converted, Unit* out, int outSize) {
  if (converted.size() > static_cast<size_t>(INT_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int needed = static_cast<int>(converted.size());
  if (outSize == 0) return needed;
  if (needed > outSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(converted.begin(), converted.end(), out);
  return needed;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteStr, int multiByteSize,
                               LPWSTR wideCharStr, int wideCharSize) {
  size_t length = 0;
  if ((codePage != CP_ACP && codePage != CP_UTF8) || flags != 0 || !multiByteStr ||
      wideCharSize < 0 || (!wideCharStr && wideCharSize > 0) ||
      !InputLength(multiByteSize, multiByteSize == -1 ? std::strlen(multiByteStr) : 0, length)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string_view bytes(multiByteStr, length);
  std::wstring converted = codePage == CP_UTF8 ? kvplat::Utf8ToWide(bytes) : DecodeLocale(bytes);
  return StoreResult(converted, wideCharStr, wideCharSize);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideCharStr, int wideCharSize,
                               LPSTR multiByteStr, int multiByteSize, LPCCH defaultChar,
                               LPBOOL usedDefaultChar) {
  size_t length = 0;
  // UTF-8 can represent everything, so it takes no default character.
  bool defaultForUtf8 = codePage == CP_UTF8 && (defaultChar || usedDefaultChar);
  if ((codePage != CP_ACP && codePage != CP_UTF8) || flags != 0 || defaultForUtf8 ||
      !wideCharStr || multiByteSize < 0 || (!multiByteStr && multiByteSize > 0) ||
      !InputLength(wideCharSize, wideCharSize == -1 ? std::wcslen(wideCharStr) : 0, length)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring_view text(wideCharStr, length);
  if (codePage == CP_UTF8) return StoreResult(kvplat::WideToUtf8(text), multiByteStr, multiByteSize);
  bool used = false;
  std::string converted = EncodeLocale(text, defaultChar ? *defaultChar : kSystemDefaultChar, used);
  if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  return StoreResult(converted, multiByteStr, multiByteSize);
}
