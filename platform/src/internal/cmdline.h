// The Windows command line of this process, built from the host's argument vector.
#pragma once

#include <string>
#include <vector>

namespace kvplat {

// One argument as Windows passes it on a command line: unchanged when it needs no
// quotes, otherwise in double quotes with backslashes before a quote doubled (and the
// quote escaped), so that CommandLineToArgvW gives the argument back.
std::wstring QuoteArgument(const std::wstring& argument);

// The arguments joined by single blanks, each quoted as above.
std::wstring JoinArguments(const std::vector<std::wstring>& arguments);

// A host argument (bytes in the codeset of the process locale) as wide text; bytes that
// do not decode become U+FFFD.
std::wstring HostArgumentToWide(const char* argument);

}  // namespace kvplat
