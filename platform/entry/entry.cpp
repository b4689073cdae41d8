// The process entry on Linux: sets the locale (the "ANSI code page" is the locale's
// codeset), opens the machine prefix and calls the program's wWinMain with the command
// line after the program name, quoted as Windows passes it.
#include <clocale>
#include <cstdio>
#include <string>

#include <windows.h>

#include "internal/cmdline.h"
#include "internal/drivemap.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine,
                    int showCommand);

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (!kvplat::OpenPrefix()) {
    std::fprintf(stderr, "%s: cannot create the machine prefix %s\n",
                 argc > 0 ? argv[0] : "program", kvplat::PrefixRoot().c_str());
    return 1;
  }
  std::wstring commandLine(
      kvplat::ArgumentsAfterProgramName(kvplat::CommandLineFromArgs(argc, argv)));
  return wWinMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
