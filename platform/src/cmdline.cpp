// Quoting of command-line arguments the way Windows programs receive them.
#include "internal/cmdline.h"

#include <cstring>
#include <cwchar>

namespace kvplat {

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t ch : argument) {
    if (ch == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows them.
    quoted.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    quoted += ch;
    backslashes = 0;
  }
  // The closing quote follows: trailing backslashes are doubled.
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments) {
  std::wstring line;
  for (const auto& argument : arguments) {
    if (!line.empty()) line += L' ';
    line += QuoteArgument(argument);
  }
  return line;
}

std::wstring HostArgumentToWide(const char* argument) {
  std::wstring wide;
  std::mbstate_t state{};
  const char* cursor = argument;
  const char* end = argument + std::strlen(argument);
  while (cursor < end) {
    wchar_t ch = 0;
    size_t used = std::mbrtowc(&ch, cursor, static_cast<size_t>(end - cursor), &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      wide += L'\xFFFD';
      ++cursor;
      state = std::mbstate_t{};
      continue;
    }
    wide += ch;
    cursor += used == 0 ? 1 : used;
  }
  return wide;
}

}  // namespace kvplat
