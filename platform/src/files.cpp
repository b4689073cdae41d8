// File handles: CreateFileW with Windows access, sharing and creation semantics, reading,
// writing, positions, sizes; and the CRT's _wfopen on top of the same opens, so that a
// stream takes part in file sharing as it does on Windows.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include <windows.h>

#include "internal/drivemap.h"
#include "internal/errors.h"
#include "internal/handles.h"
#include "internal/sharing.h"

namespace {

using kvplat::SharingLease;

class FileObject : public kvplat::KernelObject {
 public:
  FileObject(int fd, DWORD access, std::unique_ptr<SharingLease> lease)
      : fd_(fd), access_(access), lease_(std::move(lease)) {}
  // The descriptor closes before the lease ends, so a later open never meets it.
  ~FileObject() override { close(fd_); }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  int Fd() const { return fd_; }
  bool CanRead() const { return access_ & GENERIC_READ; }
  bool CanWrite() const { return access_ & GENERIC_WRITE; }

 private:
  int fd_;
  DWORD access_;
  std::unique_ptr<SharingLease> lease_;
};

struct OpenRequest {
  DWORD access = 0;
  DWORD share = 0;
  DWORD disposition = OPEN_EXISTING;
  bool inherit = false;
  bool append = false;
};

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

int OpenFlags(const OpenRequest& request) {
  int flags = O_NOCTTY;
  bool read = request.access & GENERIC_READ, write = request.access & GENERIC_WRITE;
  flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  if (!request.inherit) flags |= O_CLOEXEC;
  if (request.append) flags |= O_APPEND;
  return flags;
}

// Opens or creates the file as the disposition says; existed tells whether it was there.
// Returns -1 with the last error set.
int OpenOrCreate(const std::string& host, const OpenRequest& request, bool& existed) {
  const int flags = OpenFlags(request);
  const bool mayCreate = request.disposition == CREATE_ALWAYS || request.disposition == OPEN_ALWAYS;
  for (;;) {
    if (request.disposition != CREATE_NEW) {
      int fd = open(host.c_str(), flags);
      if (fd >= 0) {
        existed = true;
        return fd;
      }
      if (errno != ENOENT || !mayCreate) break;
    }
    int fd = open(host.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      existed = false;
      return fd;
    }
    if (errno != EEXIST) break;
    if (request.disposition == CREATE_NEW) {
      SetLastError(ERROR_FILE_EXISTS);
      return -1;
    }
    // Created by someone else between the two attempts: open it as existing.
  }
  kvplat::SetLastErrorFromErrno(errno, host);
  return -1;
}

// Empties an existing file opened by a disposition that truncates. A handle without
// write access cannot truncate through its descriptor, so the path is used then.
bool Truncate(int fd, const std::string& host, bool canWrite) {
  int result = canWrite ? ftruncate(fd, 0) : truncate(host.c_str(), 0);
  return result == 0 || Fail(kvplat::ErrorFromErrno(errno));
}

// The heart of CreateFileW and _wfopen: an open file object, or null with the last error
// set. On success the last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or
// OPEN_ALWAYS met an existing file, else 0.
std::shared_ptr<FileObject> OpenFile(const std::string& host, const OpenRequest& request) {
  if (request.disposition < CREATE_NEW || request.disposition > TRUNCATE_EXISTING ||
      (request.disposition == TRUNCATE_EXISTING && !(request.access & GENERIC_WRITE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (host.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  bool existed = false;
  int fd = OpenOrCreate(host, request, existed);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // Windows opens no folder as a file
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto lease = kvplat::AcquireSharing(st.st_dev, st.st_ino, request.access & (GENERIC_READ | GENERIC_WRITE),
                                      request.share);
  if (!lease) {
    close(fd);
    SetLastError(ERROR_SHARING_VIOLATION);
    return nullptr;
  }
  auto file = std::make_shared<FileObject>(fd, request.access, std::move(lease));
  bool truncates = request.disposition == TRUNCATE_EXISTING ||
                   (request.disposition == CREATE_ALWAYS && existed);
  if (truncates && !Truncate(fd, host, file->CanWrite())) return nullptr;
  bool reportsExisting = request.disposition == CREATE_ALWAYS || request.disposition == OPEN_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return file;
}

std::shared_ptr<FileObject> LookupFile(HANDLE handle) {
  return kvplat::LookupHandleAs<FileObject>(handle);
}

// Moves the position; -1 with the last error set on failure.
off_t Seek(const FileObject& file, LONGLONG distance, DWORD method) {
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (method > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  off_t position = lseek(file.Fd(), distance, kWhence[method]);
  if (position < 0) SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : kvplat::ErrorFromErrno(errno));
  return position;
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  OpenRequest request;
  request.access = desiredAccess;
  request.share = shareMode;
  request.disposition = creationDisposition;
  request.inherit = securityAttributes && securityAttributes->bInheritHandle;
  auto file = OpenFile(kvplat::ToHostPath(fileName), request);
  if (!file) return INVALID_HANDLE_VALUE;
  DWORD outcome = GetLastError();  // registering must not hide ERROR_ALREADY_EXISTS
  HANDLE handle = kvplat::RegisterHandle(std::move(file));
  SetLastError(outcome);
  return handle;
}

namespace {

// Moves count bytes through step (a read or a write of the rest) until all are moved or
// step reports 0: the end of the file for reads, a full device for writes. Interrupted
// calls are repeated; done counts the bytes moved so far.
template <class Step>
BOOL TransferAll(Step step, DWORD count, LPDWORD done, bool zeroIsEnd) {
  DWORD moved = 0;
  while (moved < count) {
    ssize_t n = step(moved, count - moved);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(kvplat::ErrorFromErrno(errno));
    if (n == 0) {
      if (zeroIsEnd) break;
      return Fail(ERROR_DISK_FULL);
    }
    moved += static_cast<DWORD>(n);
    if (done) *done = moved;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED /*overlapped*/) {
  if (bytesRead) *bytesRead = 0;
  auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!file->CanRead()) return Fail(ERROR_ACCESS_DENIED);
  auto step = [&](DWORD offset, DWORD rest) {
    return read(file->Fd(), static_cast<char*>(buffer) + offset, rest);
  };
  return TransferAll(step, bytesToRead, bytesRead, true);
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED /*overlapped*/) {
  if (bytesWritten) *bytesWritten = 0;
  auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  auto step = [&](DWORD offset, DWORD rest) {
    return write(file->Fd(), static_cast<const char*>(buffer) + offset, rest);
  };
  return TransferAll(step, bytesToWrite, bytesWritten, false);
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distanceToMove, PLARGE_INTEGER newFilePointer,
                      DWORD moveMethod) {
  auto file = LookupFile(handle);
  if (!file) return FALSE;
  off_t position = Seek(*file, distanceToMove.QuadPart, moveMethod);
  if (position < 0) return FALSE;
  if (newFilePointer) newFilePointer->QuadPart = position;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distanceToMove, PLONG distanceToMoveHigh,
                     DWORD moveMethod) {
  auto file = LookupFile(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  // Without a high part the distance is a signed 32-bit number and the result must fit
  // in 32 bits; with one, both halves form a signed 64-bit distance.
  LONGLONG distance = distanceToMoveHigh
                          ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceToMoveHigh)) << 32) |
                                                  static_cast<DWORD>(distanceToMove))
                          : distanceToMove;
  off_t before = lseek(file->Fd(), 0, SEEK_CUR);
  off_t position = Seek(*file, distance, moveMethod);
  if (position < 0) return INVALID_SET_FILE_POINTER;
  if (!distanceToMoveHigh && position > static_cast<off_t>(0xFFFFFFFEll)) {
    lseek(file->Fd(), before, SEEK_SET);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceToMoveHigh) *distanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(position) >> 32);
  SetLastError(ERROR_SUCCESS);  // tells a real position 0xFFFFFFFF from a failure
  return static_cast<DWORD>(position);
}

BOOL SetEndOfFile(HANDLE handle) {
  auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  off_t position = lseek(file->Fd(), 0, SEEK_CUR);
  if (position < 0 || ftruncate(file->Fd(), position) != 0) return Fail(kvplat::ErrorFromErrno(errno));
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
  auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  // Devices and pipes have nothing to flush (EINVAL), which is not a failure.
  if (fsync(file->Fd()) != 0 && errno != EINVAL) return Fail(kvplat::ErrorFromErrno(errno));
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE handle, PLARGE_INTEGER fileSize) {
  auto file = LookupFile(handle);
  if (!file) return FALSE;
  struct stat st {};
  if (fstat(file->Fd(), &st) != 0) return Fail(kvplat::ErrorFromErrno(errno));
  fileSize->QuadPart = st.st_size;
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size)) return INVALID_FILE_SIZE;
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(size.QuadPart) >> 32);
  SetLastError(ERROR_SUCCESS);  // tells a real low part 0xFFFFFFFF from a failure
  return static_cast<DWORD>(size.QuadPart);
}

// ---------------------------------------------------------------------------------------
// _wfopen: a stdio stream over a platform file object (opened with the CRT's default
// sharing, read and write), released when the stream is closed. Text and binary modes
// behave alike: no line-end translation.
// ---------------------------------------------------------------------------------------

namespace {

struct StreamMode {
  OpenRequest request;
  const char* stdioMode = nullptr;
};

// Parses a CRT mode string ("r", "wb", "a+", "rt", "wxN" ...); false when malformed.
bool ParseStreamMode(const wchar_t* mode, StreamMode& out) {
  if (!mode) return false;
  bool plus = false, exclusive = false, noInherit = false;
  for (const wchar_t* c = mode + 1; *c; ++c) {
    switch (*c) {
      case L'+': plus = true; break;
      case L'x': exclusive = true; break;
      case L'N': noInherit = true; break;
      case L'b': case L't': case L'c': case L'n': break;  // no translation, no commit mode
      default: return false;
    }
  }
  OpenRequest& request = out.request;
  request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  request.inherit = !noInherit;
  switch (mode[0]) {
    case L'r':
      request.access = GENERIC_READ | (plus ? GENERIC_WRITE : 0);
      request.disposition = OPEN_EXISTING;
      out.stdioMode = plus ? "r+" : "r";
      break;
    case L'w':
      request.access = GENERIC_WRITE | (plus ? GENERIC_READ : 0);
      request.disposition = exclusive ? CREATE_NEW : CREATE_ALWAYS;
      out.stdioMode = plus ? "w+" : "w";
      break;
    case L'a':
      request.access = GENERIC_WRITE | (plus ? GENERIC_READ : 0);
      request.disposition = OPEN_ALWAYS;
      request.append = true;
      out.stdioMode = plus ? "a+" : "a";
      break;
    default:
      return false;
  }
  return !exclusive || mode[0] == L'w';
}

int ErrnoFromError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_DISK_FULL: return ENOSPC;
    default: return EINVAL;
  }
}

using StreamCookie = std::shared_ptr<FileObject>;

int CookieFd(void* cookie) { return (*static_cast<StreamCookie*>(cookie))->Fd(); }

ssize_t StreamRead(void* cookie, char* buffer, size_t size) {
  ssize_t n;
  do n = read(CookieFd(cookie), buffer, size);
  while (n < 0 && errno == EINTR);
  return n;
}

ssize_t StreamWrite(void* cookie, const char* buffer, size_t size) {
  ssize_t n;
  do n = write(CookieFd(cookie), buffer, size);
  while (n < 0 && errno == EINTR);
  return n < 0 ? 0 : n;  // stdio takes 0 as the write error
}

int StreamSeek(void* cookie, off64_t* offset, int whence) {
  off64_t position = lseek64(CookieFd(cookie), *offset, whence);
  if (position < 0) return -1;
  *offset = position;
  return 0;
}

int StreamClose(void* cookie) {
  delete static_cast<StreamCookie*>(cookie);
  return 0;
}

}  // namespace

FILE* _wfopen(const wchar_t* fileName, const wchar_t* mode) {
  StreamMode parsed;
  if (!fileName || !ParseStreamMode(mode, parsed)) {
    errno = EINVAL;
    return nullptr;
  }
  auto file = OpenFile(kvplat::ToHostPath(fileName), parsed.request);
  if (!file) {
    errno = ErrnoFromError(GetLastError());
    return nullptr;
  }
  auto* cookie = new StreamCookie(std::move(file));
  FILE* stream = fopencookie(cookie, parsed.stdioMode,
                             cookie_io_functions_t{StreamRead, StreamWrite, StreamSeek, StreamClose});
  if (!stream) delete cookie;
  return stream;
}

int _fseeki64(FILE* stream, long long offset, int origin) { return fseeko64(stream, offset, origin); }

long long _ftelli64(FILE* stream) { return ftello64(stream); }
