// The C runtime's Microsoft string extensions: decimal conversions and comparisons that
// ignore the case of ASCII letters (the "C" locale rule the program relies on).
#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <limits>
#include <type_traits>

namespace {

// Leading white space, an optional sign, then decimal digits up to the first non-digit;
// no digits give 0 and values out of range saturate.
template <class T>
T ParseDecimal(const wchar_t* text) {
  if (!text) return 0;
  while (std::iswspace(static_cast<wint_t>(*text))) ++text;
  bool negative = *text == L'-';
  if (*text == L'-' || *text == L'+') ++text;
  using Limits = std::numeric_limits<T>;
  // Accumulate towards the sign so that the most negative value needs no special case.
  T value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) {
    T digit = static_cast<T>(*text - L'0');
    if (negative) {
      if (value < (Limits::min() + digit) / 10) return Limits::min();
      value = value * 10 - digit;
    } else {
      if (value > (Limits::max() - digit) / 10) return Limits::max();
      value = value * 10 + digit;
    }
  }
  return value;
}

template <class Char>
unsigned long FoldAscii(Char ch) {
  unsigned long code = static_cast<std::make_unsigned_t<Char>>(ch);
  return (code >= 'A' && code <= 'Z') ? code + ('a' - 'A') : code;
}

// Compares at most count characters; the sign tells the order, as lower-case letters.
template <class Char>
int CompareIgnoringCase(const Char* a, const Char* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned long left = FoldAscii(a[i]), right = FoldAscii(b[i]);
    if (left != right) return left < right ? -1 : 1;
    if (a[i] == 0) return 0;
  }
  return 0;
}

}  // namespace

int _wtoi(const wchar_t* text) { return ParseDecimal<int>(text); }

long long _wtoi64(const wchar_t* text) { return ParseDecimal<long long>(text); }

int _wcsicmp(const wchar_t* a, const wchar_t* b) {
  return CompareIgnoringCase(a, b, std::numeric_limits<size_t>::max());
}

int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t count) {
  return CompareIgnoringCase(a, b, count);
}

int _stricmp(const char* a, const char* b) {
  return CompareIgnoringCase(a, b, std::numeric_limits<size_t>::max());
}
