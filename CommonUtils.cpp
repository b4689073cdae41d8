#include "CommonUtils.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdarg>
#include <cstdio>

#include "Runtime/Log.h"

namespace {

std::wstring& ExeFolderCache() {
  static std::wstring folder;
  return folder;
}

// The unit formats from bytes to terabytes, each unit 1024 times the one before.
constexpr const wchar_t* kSizeUnits[] = {L"%.0fB", L"%.2fKB", L"%.2fMB", L"%.2fGB", L"%.2fTB"};
constexpr size_t kUnitCount = sizeof kSizeUnits / sizeof kSizeUnits[0];

const wchar_t kBrowseTitle[] = L"选择文件夹";
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;

// Selects the initial folder (or the current one) when the picker opens, and shows the
// selected folder's path as its status text.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    WCHAR current[MAX_PATH];
    const wchar_t* path = reinterpret_cast<const wchar_t*>(data);
    if (!path) {
      if (GetCurrentDirectoryW(MAX_PATH, current) == 0) return 0;
      path = current;
    }
    SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path));
  } else if (message == BFFM_SELCHANGED) {
    WCHAR path[MAX_PATH];
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path))
      SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  }
  return 0;
}

}  // namespace

std::wstring GetExeFolder() {
  std::wstring& cache = ExeFolderCache();
  if (!cache.empty()) return cache;
  WCHAR path[512];
  if (GetModuleFileNameW(nullptr, path, 512) == 0) return L"";
  PathRemoveFileSpecW(path);
  cache = path;
  return cache;
}

int64_t GetFileSize64(const std::wstring& path) {
  if (FILE* file = _wfopen(path.c_str(), L"r")) {
    _fseeki64(file, 0, SEEK_END);
    long long size = _ftelli64(file);
    fclose(file);
    return size;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  FindClose(search);
  return static_cast<int64_t>((static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
}

bool CreateDir(const std::wstring& path) {
  if (PathFileExistsW(path.c_str())) return true;
  int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  if (result == ERROR_SUCCESS) return true;
  TraceLogger::Instance().Log(LogLevel_Error, L"CreateDir：%s ret：%d", path.c_str(), result);
  FileLogger::Instance().LogAt(LogLevel_Error, 708, L".\\CommonUtils", L"CreateDir：%s ret：%d",
                               path.c_str(), result);
  return false;
}

bool DeleteFileRetry(const std::wstring& path) {
  if (!PathFileExistsW(path.c_str())) return true;
  if (DeleteFileW(path.c_str())) return true;
  Sleep(1);
  return false;
}

bool MoveFileRetry(const std::wstring& source, const std::wstring& target) {
  if (!PathFileExistsW(source.c_str())) return false;
  if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  Sleep(1);
  return false;
}

std::wstring FormatSize(uint64_t bytes) {
  size_t unit = 0;
  uint64_t divisor = 1;
  if (bytes >= 1000) {
    while (unit + 1 < kUnitCount) {
      divisor *= 1024;
      ++unit;
      if (bytes < divisor * 1000) break;
    }
  }
  // A buffer per call: the same text as one shared buffer, without the sharing.
  wchar_t text[260];
  _snwprintf(text, 259, kSizeUnits[unit], static_cast<double>(bytes) / static_cast<double>(divisor));
  text[259] = L'\0';
  return text;
}

int FormatFixedPath(wchar_t* buffer, size_t count, const wchar_t* format, ...) {
  if (!buffer || count == 0) return -1;
  va_list args;
  va_start(args, format);
  int written = _vsnwprintf(buffer, count - 1, format, args);
  va_end(args);
  // A text of exactly count - 1 characters comes back without its terminator, a longer
  // one cut to count - 1.
  bool fits = written >= 0 && static_cast<size_t>(written) <= count - 1;
  buffer[fits ? static_cast<size_t>(written) : count - 1] = L'\0';
  return fits ? written : -1;
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& initial) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = kBrowseTitle;
  info.ulFlags = kBrowseFlags;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(initial.c_str());
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (!item) return L"";
  std::wstring result;
  WCHAR path[MAX_PATH];
  if (SHGetPathFromIDListW(item, path)) {
    result = path;
    if (result.empty() || result.back() != L'\\') result += L'\\';
  }
  CoTaskMemFree(item);
  return result;
}
