// Operations on files by name: deleting, moving, finding, and the free space of a drive.
// Deletes and renames respect the sharing of open platform handles as Windows does.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

#include "internal/clock.h"
#include "internal/drivemap.h"
#include "internal/errors.h"
#include "internal/handles.h"
#include "internal/sharing.h"
#include "internal/utf.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL FailFromErrno(const std::string& hostPath) {
  kvplat::SetLastErrorFromErrno(errno, hostPath);
  return FALSE;
}

// A move to another file system: the file is copied next to the target, renamed over it
// and the source removed, so the target never holds a partial copy. Folders cannot be
// moved this way (as on Windows without a copy).
BOOL MoveAcrossDevices(const std::string& source, const std::string& target) {
  struct stat st {};
  if (lstat(source.c_str(), &st) != 0) return FailFromErrno(source);
  if (!S_ISREG(st.st_mode)) return Fail(ERROR_NOT_SAME_DEVICE);
  std::string temporary = target + ".kvmove-" + std::to_string(getpid());
  std::error_code ec;
  std::filesystem::copy_file(source, temporary, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) {
    unlink(temporary.c_str());
    return Fail(kvplat::ErrorFromErrnoForPath(ec.value(), target));
  }
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    DWORD error = kvplat::ErrorFromErrno(errno);
    unlink(temporary.c_str());
    return Fail(error);
  }
  if (unlink(source.c_str()) != 0) return FailFromErrno(source);
  return TRUE;
}

// Renames without replacing; the caller has checked under the sharing lock that the
// target is absent, so file systems without RENAME_NOREPLACE fall back to rename.
int RenameNoReplace(const std::string& source, const std::string& target) {
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  return rename(source.c_str(), target.c_str());
}

}  // namespace

BOOL DeleteFileW(LPCWSTR fileName) {
  if (!fileName) return Fail(ERROR_INVALID_PARAMETER);
  std::string host = kvplat::ToHostPath(fileName);
  auto lock = kvplat::LockSharingTable();
  if (kvplat::IsOpenWithoutDeleteSharingLocked(host)) return Fail(ERROR_SHARING_VIOLATION);
  if (unlink(host.c_str()) != 0) return FailFromErrno(host);  // a folder gives EISDIR: 5
  return TRUE;
}

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
  if (!existingFileName || !newFileName) return Fail(ERROR_INVALID_PARAMETER);
  const std::string source = kvplat::ToHostPath(existingFileName);
  const std::string target = kvplat::ToHostPath(newFileName);
  const bool replace = flags & MOVEFILE_REPLACE_EXISTING;
  auto lock = kvplat::LockSharingTable();
  struct stat from {}, to {};
  if (lstat(source.c_str(), &from) != 0) return FailFromErrno(source);
  // Renaming needs delete access to the source: refused while it is open without
  // delete sharing.
  if (kvplat::IsOpenWithoutDeleteSharingLocked(source)) return Fail(ERROR_SHARING_VIOLATION);
  bool sameFile = false;
  if (lstat(target.c_str(), &to) == 0) {
    sameFile = from.st_dev == to.st_dev && from.st_ino == to.st_ino;
    if (!sameFile) {
      if (!replace) return Fail(ERROR_ALREADY_EXISTS);
      // Windows refuses to replace a folder, or a file held open without delete sharing.
      if (S_ISDIR(to.st_mode) || kvplat::IsOpenWithoutDeleteSharingLocked(target))
        return Fail(ERROR_ACCESS_DENIED);
    }
  }
  int result = replace || sameFile ? rename(source.c_str(), target.c_str())
                                   : RenameNoReplace(source, target);
  if (result == 0) return TRUE;
  if (errno == EXDEV) return MoveAcrossDevices(source, target);
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  return FailFromErrno(target);
}

// ---------------------------------------------------------------------------------------
// FindFirstFileW: the first entry (in name order) matching the last part of the path.
// ---------------------------------------------------------------------------------------

namespace {

class FindObject : public kvplat::KernelObject {};

void FillFindData(const std::string& name, const struct stat& st, WIN32_FIND_DATAW& data) {
  data = WIN32_FIND_DATAW{};
  if (S_ISDIR(st.st_mode)) {
    data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  } else {
    data.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    ULONGLONG size = static_cast<ULONGLONG>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  if (!(st.st_mode & S_IWUSR)) data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  data.ftCreationTime = kvplat::FileTimeFromTimespec(st.st_mtim);
  data.ftLastAccessTime = kvplat::FileTimeFromTimespec(st.st_atim);
  data.ftLastWriteTime = kvplat::FileTimeFromTimespec(st.st_mtim);
  std::wstring wide = kvplat::Utf8ToWide(name);
  wide.resize(std::min<size_t>(wide.size(), MAX_PATH - 1));
  std::wmemcpy(data.cFileName, wide.c_str(), wide.size() + 1);
}

bool HasWildcards(const std::string& pattern) { return pattern.find_first_of("*?") != std::string::npos; }

// The first name in folder matching pattern ("*.*" matches every name, as on Windows).
// False with the last error set when there is none or the folder is missing.
bool FirstMatch(const std::string& folder, std::string pattern, std::string& name) {
  if (pattern == "*.*") pattern = "*";
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : kvplat::ErrorFromErrno(errno));
    return false;
  }
  std::vector<std::string> matches;
  while (dirent* entry = readdir(dir))
    if (fnmatch(pattern.c_str(), entry->d_name, FNM_NOESCAPE) == 0) matches.push_back(entry->d_name);
  closedir(dir);
  if (matches.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  name = *std::min_element(matches.begin(), matches.end());
  return true;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData) {
  if (!fileName || !findFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string host = kvplat::ToHostPath(fileName);
  size_t slash = host.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : host.substr(0, std::max<size_t>(slash, 1));
  std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
  if (name.empty()) {  // a path ending in a separator names no entry
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (HasWildcards(name) && !FirstMatch(folder, name, name)) return INVALID_HANDLE_VALUE;
  std::string path = folder + "/" + name;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    kvplat::SetLastErrorFromErrno(errno, path);
    return INVALID_HANDLE_VALUE;
  }
  FillFindData(name, st, *findFileData);
  return kvplat::RegisterHandle(std::make_shared<FindObject>());
}

BOOL FindClose(HANDLE findFile) {
  if (!kvplat::LookupHandleAs<FindObject>(findFile)) return FALSE;
  kvplat::UnregisterHandle(findFile);
  return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes) {
  // NULL means the current folder's disk; an empty name or a drive without its folder
  // names no disk.
  std::wstring name = directoryName ? directoryName : L".";
  if (name.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (name.size() >= 2 && name[1] == L':' && kvplat::DriveRoot(name[0]).empty())
    return Fail(ERROR_PATH_NOT_FOUND);
  std::string host = kvplat::ToHostPath(name);
  struct statvfs fs {};
  if (statvfs(host.c_str(), &fs) != 0)
    return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : kvplat::ErrorFromErrno(errno));
  ULONGLONG unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
  if (freeBytesAvailableToCaller) freeBytesAvailableToCaller->QuadPart = fs.f_bavail * unit;
  if (totalNumberOfBytes) totalNumberOfBytes->QuadPart = fs.f_blocks * unit;
  if (totalNumberOfFreeBytes) totalNumberOfFreeBytes->QuadPart = fs.f_bfree * unit;
  return TRUE;
}
