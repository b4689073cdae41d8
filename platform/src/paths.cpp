// Path helpers of the shell's light-weight library, and the program's own file name.
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <string>

#include "internal/drivemap.h"
#include "internal/utf.h"

namespace {

bool HasDrive(std::wstring_view path) { return path.size() >= 2 && path[1] == L':'; }

// Copies a path out the way the path getters do: the length without terminator when it
// fits, else the size needed with the terminator and nothing copied.
DWORD CopyPathOut(const std::wstring& path, LPWSTR buffer, DWORD size) {
  if (path.size() >= size || !buffer) return static_cast<DWORD>(path.size() + 1);
  std::wmemcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

}  // namespace

BOOL PathRemoveFileSpecW(LPWSTR path) {
  if (!path) return FALSE;
  std::wstring_view text(path);
  size_t slash = text.rfind(L'\\');
  size_t keep;
  if (slash == std::wstring_view::npos)
    keep = HasDrive(text) ? 2 : 0;           // "C:name" keeps "C:", "name" becomes ""
  else if (slash == 0 || (slash == 2 && HasDrive(text)))
    keep = slash + 1;                        // the root's backslash stays: "C:\", "\"
  else
    keep = slash;
  if (keep >= text.size()) return FALSE;
  path[keep] = L'\0';
  return TRUE;
}

BOOL PathAppendW(LPWSTR path, LPCWSTR more) {
  if (!path || !more) return FALSE;
  std::wstring joined(path);
  std::wstring_view tail(more);
  while (!tail.empty() && tail.front() == L'\\') tail.remove_prefix(1);
  if (!joined.empty() && joined.back() != L'\\' && !tail.empty()) joined += L'\\';
  joined += tail;
  // The caller's buffer holds MAX_PATH characters with the terminator.
  if (joined.size() >= MAX_PATH) return FALSE;
  std::wmemcpy(path, joined.c_str(), joined.size() + 1);
  return TRUE;
}

BOOL PathFileExistsW(LPCWSTR path) {
  if (!path || !*path) return FALSE;
  struct stat st {};
  return stat(kvplat::ToHostPath(path).c_str(), &st) == 0;
}

DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
  char host[4096];
  if (!getcwd(host, sizeof host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  return CopyPathOut(kvplat::ToWindowsPath(host), buffer, bufferLength);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  // Only the program itself is a module here.
  if (module && module != GetModuleHandleW(nullptr)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  char host[4096];
  ssize_t length = readlink("/proc/self/exe", host, sizeof host - 1);
  if (length <= 0) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0;
  }
  std::wstring name = kvplat::ToWindowsPath(std::string_view(host, static_cast<size_t>(length)));
  if (size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (name.size() >= size) {  // truncated, terminated, and the full size returned
    std::wmemcpy(fileName, name.c_str(), size - 1);
    fileName[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::wmemcpy(fileName, name.c_str(), name.size() + 1);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(name.size());
}
