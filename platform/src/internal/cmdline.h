// Windows command lines: the one splitter and quoter of the platform. CreateProcessW
// splits the line it is given into the child's argv; the entry point turns its argv
// back into the line wWinMain receives.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvplat {

// Splits a command line by the CommandLineToArgvW rules: the program name ends at the
// first blank unless quoted (no escapes inside it); in later arguments 2n backslashes
// before a quote give n backslashes and toggle quoting, 2n+1 give n and a literal
// quote, "" inside quotes is a literal quote, other backslashes are literal.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

// One argument quoted so that SplitCommandLine gives it back unchanged; plain arguments
// stay as they are.
std::wstring QuoteArgument(std::wstring_view argument);

// The part of a command line after the program name and the blanks that follow it: what
// wWinMain receives as its command line.
std::wstring_view ArgumentsAfterProgramName(std::wstring_view line);

// The environment variable through which CreateProcessW hands its child the exact
// command line, since an exec'd argv loses the quoting.
inline constexpr char kCommandLineVariable[] = "KV_COMMAND_LINE";

// This process's command line: the exact line a platform parent passed when it still
// splits into argv, otherwise argv quoted and joined with blanks.
std::wstring CommandLineFromArgs(int argc, char** argv);

}  // namespace kvplat
