// Wide printf-style formatting with the Windows conventions: %s is a wide string and %S a
// narrow one (likewise %c/%C), %ld is 32 bits, %I64d/%I32d/%Id name explicit sizes, %p
// prints every hexadecimal digit of the pointer. The conversion loop is our own; the C
// library only formats single numbers from a translated narrow spec, so no Windows
// format ever reaches glibc's wide printf family.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

enum class ArgSize { Default, Char, Short, Long, LongLong, Pointer, IntMax, Wide };

struct Spec {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool alternate = false;
  bool zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
  ArgSize size = ArgSize::Default;
  wchar_t conversion = 0;
};

// Pads `body` to the spec's width: spaces on the left, or on the right for '-', or zeros
// on the left for '0' (as the Windows runtime does for strings too).
void AppendPadded(std::wstring& out, const Spec& spec, std::wstring_view body) {
  size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > body.size()
                   ? static_cast<size_t>(spec.width) - body.size()
                   : 0;
  if (spec.left) {
    out.append(body);
    out.append(pad, L' ');
  } else {
    out.append(pad, spec.zero ? L'0' : L' ');
    out.append(body);
  }
}

// Reads a decimal number or '*' from the format; false when it does not fit an int.
bool ReadCount(const wchar_t*& p, va_list* args, int& value) {
  if (*p == L'*') {
    ++p;
    value = va_arg(*args, int);
    return true;
  }
  long long n = 0;
  while (*p >= L'0' && *p <= L'9') {
    n = n * 10 + (*p++ - L'0');
    if (n > INT_MAX) return false;
  }
  value = static_cast<int>(n);
  return true;
}

// Parses flags, width, precision and size after a '%'; leaves p on the conversion letter.
bool ParseSpec(const wchar_t*& p, va_list* args, Spec& spec) {
  for (;; ++p) {
    if (*p == L'-') spec.left = true;
    else if (*p == L'+') spec.plus = true;
    else if (*p == L' ') spec.space = true;
    else if (*p == L'#') spec.alternate = true;
    else if (*p == L'0') spec.zero = true;
    else break;
  }
  if (!ReadCount(p, args, spec.width)) return false;
  if (spec.width < 0) {  // a negative '*' width means left alignment
    if (spec.width == INT_MIN) return false;
    spec.left = true;
    spec.width = -spec.width;
  }
  if (*p == L'.') {
    ++p;
    if (!ReadCount(p, args, spec.precision)) return false;
    if (spec.precision < 0) spec.precision = -1;  // a negative '*' precision is none
  }
  if (p[0] == L'h' && p[1] == L'h') { spec.size = ArgSize::Char; p += 2; }
  else if (p[0] == L'h') { spec.size = ArgSize::Short; ++p; }
  else if (p[0] == L'l' && p[1] == L'l') { spec.size = ArgSize::LongLong; p += 2; }
  else if (p[0] == L'l') { spec.size = ArgSize::Long; ++p; }
  else if (p[0] == L'L') { spec.size = ArgSize::LongLong; ++p; }
  else if (p[0] == L'w') { spec.size = ArgSize::Wide; ++p; }
  else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') { spec.size = ArgSize::LongLong; p += 3; }
  else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') { spec.size = ArgSize::Long; p += 3; }
  else if (p[0] == L'I' || p[0] == L'z' || p[0] == L't') { spec.size = ArgSize::Pointer; ++p; }
  else if (p[0] == L'j') { spec.size = ArgSize::IntMax; ++p; }
  spec.conversion = *p;
  return *p != 0;
}

// The narrow printf spec for one number: flags, width, precision, then `length` and the
// conversion letter. Fits easily: two ints of at most ten digits and a few letters.
struct NarrowSpec {
  char text[40];

  NarrowSpec(const Spec& spec, const char* length) {
    char* p = text;
    *p++ = '%';
    if (spec.left) *p++ = '-';
    if (spec.plus) *p++ = '+';
    if (spec.space) *p++ = ' ';
    if (spec.alternate) *p++ = '#';
    if (spec.zero) *p++ = '0';
    if (spec.width > 0) p += std::snprintf(p, 12, "%d", spec.width);
    if (spec.precision >= 0) p += std::snprintf(p, 13, ".%d", spec.precision);
    while (*length) *p++ = *length++;
    *p++ = static_cast<char>(spec.conversion);
    *p = '\0';
  }
};

// Formats one number with the C library and widens the ASCII result; a short number
// needs no allocation.
template <class T>
bool AppendNumber(std::wstring& out, const NarrowSpec& spec, T value) {
  char small[64];
  int n = std::snprintf(small, sizeof(small), spec.text, value);
  if (n < 0) return false;
  if (static_cast<size_t>(n) < sizeof(small)) {
    out.append(small, small + n);
    return true;
  }
  std::string large(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(large.data(), large.size(), spec.text, value);
  out.append(large.begin(), large.begin() + n);
  return true;
}

long long SignedArg(va_list* args, ArgSize size) {
  switch (size) {
    case ArgSize::Char: return static_cast<signed char>(va_arg(*args, int));
    case ArgSize::Short: return static_cast<short>(va_arg(*args, int));
    case ArgSize::LongLong: return va_arg(*args, long long);
    case ArgSize::Pointer: return va_arg(*args, intptr_t);
    case ArgSize::IntMax: return va_arg(*args, intmax_t);
    default: return va_arg(*args, int);  // %d and %ld: int and long are 32 bits on Windows
  }
}

unsigned long long UnsignedArg(va_list* args, ArgSize size) {
  switch (size) {
    case ArgSize::Char: return static_cast<unsigned char>(va_arg(*args, unsigned));
    case ArgSize::Short: return static_cast<unsigned short>(va_arg(*args, unsigned));
    case ArgSize::LongLong: return va_arg(*args, unsigned long long);
    case ArgSize::Pointer: return va_arg(*args, uintptr_t);
    case ArgSize::IntMax: return va_arg(*args, uintmax_t);
    default: return va_arg(*args, unsigned);
  }
}

// Narrow text arguments are in the ANSI code page; precision counts bytes read, so an
// unterminated buffer with a precision is never read past it.
std::wstring WidenArgument(const char* text, int precision) {
  size_t length = precision >= 0 ? strnlen(text, static_cast<size_t>(precision)) : strlen(text);
  if (length == 0) return {};
  int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
  std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), units);
  return wide;
}

void AppendString(std::wstring& out, const Spec& spec, va_list* args, bool wide) {
  if (wide) {
    const wchar_t* text = va_arg(*args, const wchar_t*);
    if (!text) text = L"(null)";
    size_t length = spec.precision >= 0 ? wcsnlen(text, static_cast<size_t>(spec.precision))
                                        : wcslen(text);
    AppendPadded(out, spec, std::wstring_view(text, length));
    return;
  }
  const char* text = va_arg(*args, const char*);
  std::wstring converted = WidenArgument(text ? text : "(null)", spec.precision);
  if (spec.precision >= 0 && converted.size() > static_cast<size_t>(spec.precision))
    converted.resize(static_cast<size_t>(spec.precision));
  AppendPadded(out, spec, converted);
}

void AppendChar(std::wstring& out, const Spec& spec, va_list* args, bool wide) {
  int value = va_arg(*args, int);
  wchar_t ch = static_cast<wchar_t>(value);
  if (!wide) {
    char narrow = static_cast<char>(value);
    std::wstring converted = WidenArgument(&narrow, 1);
    ch = converted.empty() ? L'\0' : converted[0];
  }
  AppendPadded(out, spec, std::wstring_view(&ch, 1));
}

// %p: every hexadecimal digit of the address, upper case, as the Windows runtime prints it.
void AppendPointer(std::wstring& out, const Spec& spec, va_list* args) {
  auto value = reinterpret_cast<uintptr_t>(va_arg(*args, void*));
  wchar_t digits[sizeof(uintptr_t) * 2];
  for (size_t i = 0; i < sizeof(uintptr_t) * 2; ++i) {
    digits[sizeof(uintptr_t) * 2 - 1 - i] = L"0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  }
  Spec padding = spec;
  padding.zero = false;
  AppendPadded(out, padding, std::wstring_view(digits, sizeof(uintptr_t) * 2));
}

// Formats one conversion; false for an unknown conversion letter.
bool AppendConversion(std::wstring& out, const Spec& spec, va_list* args) {
  // A size prefix of h means narrow, l or w wide; otherwise the letter's case decides.
  auto isWide = [&spec](bool byDefault) {
    if (spec.size == ArgSize::Short) return false;
    if (spec.size == ArgSize::Long || spec.size == ArgSize::Wide) return true;
    return byDefault;
  };
  switch (spec.conversion) {
    case L'%': out += L'%'; return true;
    case L'd':
    case L'i': return AppendNumber(out, NarrowSpec(spec, "ll"), SignedArg(args, spec.size));
    case L'u':
    case L'o':
    case L'x':
    case L'X': return AppendNumber(out, NarrowSpec(spec, "ll"), UnsignedArg(args, spec.size));
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G': return AppendNumber(out, NarrowSpec(spec, ""), va_arg(*args, double));
    case L's': AppendString(out, spec, args, isWide(true)); return true;
    case L'S': AppendString(out, spec, args, isWide(false)); return true;
    case L'c': AppendChar(out, spec, args, isWide(true)); return true;
    case L'C': AppendChar(out, spec, args, isWide(false)); return true;
    case L'p': AppendPointer(out, spec, args); return true;
    default: return false;  // includes %n, which the Windows runtime refuses too
  }
}

// Formats the whole text; false for an invalid format (unknown conversion, a '%' at the
// end, a width or precision beyond int) or output longer than INT_MAX characters.
bool FormatWide(std::wstring& out, const wchar_t* format, va_list args) {
  if (!format) return false;
  va_list ap;
  va_copy(ap, args);
  bool ok = true;
  const wchar_t* p = format;
  while (*p && ok) {
    if (*p != L'%') {
      const wchar_t* end = p;
      while (*end && *end != L'%') ++end;
      out.append(p, end);
      p = end;
      continue;
    }
    ++p;
    Spec spec;
    ok = ParseSpec(p, &ap, spec) && AppendConversion(out, spec, &ap);
    if (ok) ++p;  // past the conversion letter; on failure p may rest on the terminator
  }
  va_end(ap);
  return ok && out.size() <= static_cast<size_t>(INT_MAX);
}

}  // namespace

int _vscwprintf(const wchar_t* format, va_list args) {
  std::wstring text;
  if (!FormatWide(text, format, args)) {
    errno = EINVAL;
    return -1;
  }
  return static_cast<int>(text.size());
}

int _scwprintf(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  int length = _vscwprintf(format, args);
  va_end(args);
  return length;
}

// Fits the text into count characters: the terminator only when there is room for it,
// the length when the text fits (with or without terminator), -1 when it was cut.
int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args) {
  std::wstring text;
  if ((!buffer && count > 0) || !FormatWide(text, format, args)) {
    errno = EINVAL;
    return -1;
  }
  if (!buffer) return static_cast<int>(text.size());
  size_t stored = text.size() < count ? text.size() : count;
  wmemcpy(buffer, text.data(), stored);
  if (stored < count) buffer[stored] = L'\0';
  return text.size() <= count ? static_cast<int>(text.size()) : -1;
}

int _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  int result = _vsnwprintf(buffer, count, format, args);
  va_end(args);
  return result;
}

// wsprintfW's buffer holds at most 1024 characters; longer output is cut and terminated.
int WINAPI wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
  constexpr size_t kLimit = 1024;
  std::wstring text;
  if (!buffer) return 0;
  if (!FormatWide(text, format, args)) text.clear();
  size_t stored = text.size() < kLimit ? text.size() : kLimit - 1;
  wmemcpy(buffer, text.data(), stored);
  buffer[stored] = L'\0';
  return static_cast<int>(stored);
}

int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int result = wvsprintfW(buffer, format, args);
  va_end(args);
  return result;
}
