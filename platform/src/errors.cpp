// GetLastError/SetLastError and the errno mapping.
#include "internal/errors.h"

#include <cerrno>
#include <sys/stat.h>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD errorCode) { lastError = errorCode; }

namespace kvplat {

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EIO: return ERROR_WRITE_FAULT;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_INVALID_FUNCTION;
  }
}

DWORD ErrorFromErrnoForPath(int error, const std::string& hostPath) {
  if (error != ENOENT) return ErrorFromErrno(error);
  auto slash = hostPath.find_last_of('/');
  if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
  std::string parent = slash == 0 ? "/" : hostPath.substr(0, slash);
  struct stat st {};
  if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
  return ERROR_FILE_NOT_FOUND;
}

DWORD SetLastErrorFromErrno(int error) {
  DWORD code = ErrorFromErrno(error);
  SetLastError(code);
  return code;
}

DWORD SetLastErrorFromErrno(int error, const std::string& hostPath) {
  DWORD code = ErrorFromErrnoForPath(error, hostPath);
  SetLastError(code);
  return code;
}

}  // namespace kvplat
