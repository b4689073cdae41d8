// Mapping of POSIX errno values to the Windows error numbers callers can see.
#pragma once

#include <windows.h>

#include <string>

namespace kvplat {

// The Windows error number for an errno value. ENOENT maps to ERROR_FILE_NOT_FOUND.
DWORD ErrorFromErrno(int error);

// As ErrorFromErrno, but for a failed operation on hostPath: ENOENT becomes
// ERROR_PATH_NOT_FOUND when the folder that should hold the file is missing, as Windows
// distinguishes the two.
DWORD ErrorFromErrnoForPath(int error, const std::string& hostPath);

// Sets the last error from errno (or from errno for a path) and returns it.
DWORD SetLastErrorFromErrno(int error);
DWORD SetLastErrorFromErrno(int error, const std::string& hostPath);

}  // namespace kvplat
