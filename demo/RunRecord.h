// How the stand-ins record a run: the command line they were given (after their own
// name) appended as one UTF-8 line to a file beside the executable.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

inline bool AppendRunRecord(LPCWSTR recordName, LPCWSTR commandLine) {
  WCHAR record[MAX_PATH];
  if (GetModuleFileNameW(nullptr, record, MAX_PATH) == 0 || !PathRemoveFileSpecW(record) ||
      !PathAppendW(record, recordName))
    return false;
  int length = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
  std::string line(static_cast<size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, line.data(), length, nullptr, nullptr);
  line.back() = '\n';
  FILE* file = _wfopen(record, L"ab");
  if (!file) return false;
  bool written = fwrite(line.data(), 1, line.size(), file) == line.size();
  return fclose(file) == 0 && written;
}
