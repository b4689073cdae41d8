// The shell: special folders and item lists, directory trees, opening URLs, splitting
// command lines.
#include <sys/stat.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "internal/cmdline.h"
#include "internal/drivemap.h"
#include "internal/errors.h"
#include "internal/itemlist.h"
#include "internal/spawn.h"
#include "internal/utf.h"

namespace {

// Longest folder path Windows creates: room must remain for an 8.3 file name.
constexpr size_t kMaxFolderPath = MAX_PATH - 12;
constexpr INT_PTR kShellNoAssociation = 31;  // SE_ERR_NOASSOC
constexpr INT_PTR kShellOk = 42;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsAbsoluteDrivePath(std::wstring_view path) {
  return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

// Characters Windows refuses in file names (the drive's colon aside).
bool HasInvalidName(std::wstring_view path) {
  return path.find_first_of(L"<>\"|?*", 0) != std::wstring_view::npos ||
         path.find(L':', 2) != std::wstring_view::npos;
}

// Creates the folders of host below the existing drive folder root.
int CreateMissingFolders(const std::string& root, const std::string& host) {
  for (size_t cut = host.find('/', root.size() + 1);; cut = host.find('/', cut + 1)) {
    std::string step = host.substr(0, cut);
    if (mkdir(step.c_str(), 0777) != 0 && errno != EEXIST) return errno;
    struct stat st {};
    if (stat(step.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ENOTDIR;
    if (cut == std::string::npos) return 0;
  }
}

int CreateDirectoryTree(LPCWSTR path) {
  std::wstring_view text = path ? path : L"";
  if (!IsAbsoluteDrivePath(text)) return ERROR_BAD_PATHNAME;
  if (text.size() >= kMaxFolderPath) return ERROR_FILENAME_EXCED_RANGE;
  if (HasInvalidName(text)) return ERROR_INVALID_NAME;
  std::string root = kvplat::DriveRoot(text[0]);
  if (root.empty()) return ERROR_PATH_NOT_FOUND;
  std::string host = kvplat::ToHostPath(text);
  while (host.size() > root.size() && host.back() == '/') host.pop_back();
  struct stat st {};
  if (stat(host.c_str(), &st) == 0) return ERROR_ALREADY_EXISTS;
  int error = CreateMissingFolders(root == "/" ? "" : root, host);
  if (error == ENOTDIR || error == ENOENT) return ERROR_PATH_NOT_FOUND;
  return static_cast<int>(kvplat::ErrorFromErrno(error));
}

bool IsUrl(std::wstring_view file) {
  return file.find(L"://") != std::wstring_view::npos || file.starts_with(L"mailto:");
}

}  // namespace

namespace kvplat {

PIDLIST_ABSOLUTE NewItemList(const std::wstring& windowsPath) {
  // One item: its size, the path with its terminator, then the empty item that ends
  // the list.
  size_t itemSize = sizeof(USHORT) + (windowsPath.size() + 1) * sizeof(WCHAR);
  if (itemSize > 0xFFFF) return nullptr;
  auto* bytes = static_cast<BYTE*>(std::calloc(1, itemSize + sizeof(USHORT)));
  if (!bytes) return nullptr;
  USHORT size = static_cast<USHORT>(itemSize);
  std::memcpy(bytes, &size, sizeof size);
  std::memcpy(bytes + sizeof size, windowsPath.c_str(), (windowsPath.size() + 1) * sizeof(WCHAR));
  return reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
}

}  // namespace kvplat

void CoTaskMemFree(LPVOID memory) { std::free(memory); }

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* argumentCount) {
  if (!argumentCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<std::wstring> args;
  if (commandLine && *commandLine) {
    args = kvplat::SplitCommandLine(commandLine);
  } else {
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    args.push_back(self);
  }
  // The pointer array, then every argument with its terminator, in one block.
  size_t bytes = (args.size() + 1) * sizeof(LPWSTR);
  for (const auto& arg : args) bytes += (arg.size() + 1) * sizeof(WCHAR);
  auto** argv = static_cast<LPWSTR*>(std::malloc(bytes));
  if (!argv) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* text = reinterpret_cast<WCHAR*>(argv + args.size() + 1);
  for (size_t i = 0; i < args.size(); ++i) {
    argv[i] = text;
    std::wmemcpy(text, args[i].c_str(), args[i].size() + 1);
    text += args[i].size() + 1;
  }
  argv[args.size()] = nullptr;
  *argumentCount = static_cast<int>(args.size());
  return argv;
}

HRESULT SHGetSpecialFolderLocation(HWND, int folder, PIDLIST_ABSOLUTE* item) {
  if (!item) return E_INVALIDARG;
  *item = nullptr;
  if (folder != CSIDL_COMMON_APPDATA) return E_INVALIDARG;
  kvplat::OpenPrefix();  // makes sure C:\ProgramData is there, as on any machine
  *item = kvplat::NewItemList(L"C:\\ProgramData");
  return *item ? S_OK : E_OUTOFMEMORY;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE item, LPWSTR path) {
  if (!item || !path) return FALSE;
  path[0] = L'\0';
  const auto* bytes = reinterpret_cast<const BYTE*>(item);
  USHORT size = 0;
  std::memcpy(&size, bytes, sizeof size);
  if (size <= sizeof size) return FALSE;  // the empty list names no file-system folder
  size_t length = (size - sizeof size) / sizeof(WCHAR);
  std::wstring text(length, L'\0');
  std::memcpy(text.data(), bytes + sizeof size, length * sizeof(WCHAR));
  text.resize(std::wcslen(text.c_str()));
  if (text.size() >= MAX_PATH) return FALSE;
  std::wmemcpy(path, text.c_str(), text.size() + 1);
  return TRUE;
}

int SHCreateDirectoryExW(HWND, LPCWSTR path, const SECURITY_ATTRIBUTES*) {
  int result = CreateDirectoryTree(path);
  SetLastError(static_cast<DWORD>(result));
  return result;
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR operation, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
  if (!file || (operation && std::wcscmp(operation, L"open") != 0))
    return reinterpret_cast<HINSTANCE>(kShellNoAssociation);
  std::wstring_view target(file);
  std::string argument = IsUrl(target) ? kvplat::WideToUtf8(target) : kvplat::ToHostPath(target);
  struct stat st {};
  if (!IsUrl(target) && stat(argument.c_str(), &st) != 0)
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(kvplat::ErrorFromErrnoForPath(errno, argument)));
  pid_t pid = 0;
  if (kvplat::Spawn({"xdg-open", {"xdg-open", argument}, {}, {}}, pid) != 0)
    return reinterpret_cast<HINSTANCE>(kShellNoAssociation);
  kvplat::DetachChild(pid);  // the shell returns at once; the opener ends on its own
  return reinterpret_cast<HINSTANCE>(kShellOk);
}
