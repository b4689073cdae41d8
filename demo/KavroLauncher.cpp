// Stand-in for the publisher's launcher ("KavroLauncher.exe"): it appends the command
// line it was given (after its own name) as one UTF-8 line to "KavroLauncher.runs.txt"
// beside itself, so a run can be checked, and exits.
#include <windows.h>

#include "RunRecord.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  return AppendRunRecord(L"KavroLauncher.runs.txt", commandLine) ? 0 : 1;
}
