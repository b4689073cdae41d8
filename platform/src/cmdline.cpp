// Splitting and quoting Windows command lines.
#include "internal/cmdline.h"

#include <cstdlib>

#include "internal/utf.h"

namespace kvplat {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program name: up to the closing quote when it starts with one, else up to the
// first blank. Returns the position after it.
size_t ReadProgramName(std::wstring_view line, std::wstring& name) {
  size_t i = 0;
  if (!line.empty() && line[0] == L'"') {
    size_t close = line.find(L'"', 1);
    size_t end = close == std::wstring_view::npos ? line.size() : close;
    name.assign(line.substr(1, end - 1));
    return close == std::wstring_view::npos ? line.size() : close + 1;
  }
  while (i < line.size() && !IsBlank(line[i])) ++i;
  name.assign(line.substr(0, i));
  return i;
}

// One argument from position i (not a blank); returns the position after it.
size_t ReadArgument(std::wstring_view line, size_t i, std::wstring& arg) {
  bool quoted = false;
  while (i < line.size() && (quoted || !IsBlank(line[i]))) {
    if (line[i] == L'\\') {
      size_t run = 0;
      while (i < line.size() && line[i] == L'\\') ++run, ++i;
      if (i < line.size() && line[i] == L'"') {
        arg.append(run / 2, L'\\');
        if (run % 2 == 1) {
          arg += L'"';
          ++i;
        }
      } else {
        arg.append(run, L'\\');
      }
    } else if (line[i] == L'"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
        arg += L'"';
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
    } else {
      arg += line[i++];
    }
  }
  return i;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> args;
  if (line.empty()) return args;
  std::wstring name;
  size_t i = ReadProgramName(line, name);
  args.push_back(std::move(name));
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::wstring arg;
    i = ReadArgument(line, i, arg);
    args.push_back(std::move(arg));
  }
  return args;
}

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos)
    return std::wstring(argument);
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes only escape when a quote follows: double them there.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

std::wstring_view ArgumentsAfterProgramName(std::wstring_view line) {
  std::wstring name;
  size_t i = ReadProgramName(line, name);
  while (i < line.size() && IsBlank(line[i])) ++i;
  return line.substr(i);
}

std::wstring CommandLineFromArgs(int argc, char** argv) {
  std::vector<std::wstring> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8ToWide(argv[i]));
  if (const char* exact = std::getenv(kCommandLineVariable)) {
    std::wstring line = Utf8ToWide(exact);
    if (SplitCommandLine(line) == args) return line;
  }
  std::wstring line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += L' ';
    // The program name knows no escapes: it is quoted whole when it has blanks.
    if (i == 0)
      line += args[0].find_first_of(L" \t") == std::wstring::npos && !args[0].empty()
                  ? args[0]
                  : L"\"" + args[0] + L"\"";
    else
      line += QuoteArgument(args[i]);
  }
  return line;
}

}  // namespace kvplat
