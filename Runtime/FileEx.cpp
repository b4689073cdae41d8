// The file wrapper over CreateFileW and friends.
#include "Runtime/FileEx.h"

namespace {

constexpr int32_t kShortWrite = -12;

DWORD AccessOf(DWORD flags) {
  switch (flags & FileEx_AccessMask) {
    case 0: return GENERIC_READ;
    case 1: return GENERIC_WRITE;
    case 2: return GENERIC_READ | GENERIC_WRITE;
    default: return 0;
  }
}

DWORD ShareOf(DWORD flags) {
  switch (flags & FileEx_ShareMask) {
    case FileEx_ShareRead: return FILE_SHARE_READ;
    case FileEx_ShareWrite: return FILE_SHARE_WRITE;
    case FileEx_ShareReadWrite: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: return 0;
  }
}

DWORD DispositionOf(DWORD flags) {
  if (!(flags & FileEx_Create)) return OPEN_EXISTING;
  return (flags & FileEx_KeepExisting) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

}  // namespace

CFileEx::~CFileEx() {
  if (handle == INVALID_HANDLE_VALUE || !ownsHandle) return;
  try {
    Close();
  } catch (const CFileExException&) {
    // A destructor cannot report the failure; the handle is released either way.
  }
}

void CFileEx::ThrowLastError(const std::wstring& message) {
  throw CFileExException{message, static_cast<int32_t>(GetLastError())};
}

bool CFileEx::Open(const wchar_t* path, DWORD flags, CFileExException* error) {
  // A handle still open from an earlier Open would otherwise leak and keep the file
  // locked against others.
  if (handle != INVALID_HANDLE_VALUE && ownsHandle) Abort();
  ownsHandle = false;
  handle = INVALID_HANDLE_VALUE;
  filePath = path ? path : L"";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE opened = CreateFileW(filePath.c_str(), AccessOf(flags), ShareOf(flags),
                              (flags & FileEx_NoInherit) ? nullptr : &inherit,
                              DispositionOf(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    if (error) {
      error->code = static_cast<int32_t>(GetLastError());
      error->message = L"INVALID_HANDLE_VALUE";
    }
    return false;
  }
  handle = opened;
  ownsHandle = true;
  return true;
}

DWORD CFileEx::Seek(LONG offset, DWORD origin) {
  // A position of 0xFFFFFFFF is valid; the cleared last error tells it from a failure.
  SetLastError(ERROR_SUCCESS);
  DWORD position = SetFilePointer(handle, offset, nullptr, origin);
  if (position == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) ThrowLastError();
  return position;
}

DWORD CFileEx::GetPosition() { return Seek(0, FILE_CURRENT); }

DWORD CFileEx::SeekToEnd() { return Seek(0, FILE_END); }

void CFileEx::SetLength(DWORD length) {
  // The length is unsigned: beyond 2 GiB it needs the high part of the move.
  LONG high = 0;
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(handle, static_cast<LONG>(length), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) ThrowLastError();
  if (!SetEndOfFile(handle)) ThrowLastError();
}

DWORD CFileEx::Read(void* buffer, DWORD count) {
  if (count == 0) return 0;
  DWORD done = 0;
  if (!ReadFile(handle, buffer, count, &done, nullptr)) ThrowLastError();
  return done;
}

void CFileEx::Write(const void* buffer, DWORD count) {
  if (count == 0) return;
  DWORD done = 0;
  if (!WriteFile(handle, buffer, count, &done, nullptr)) ThrowLastError(filePath);
  if (done != count) throw CFileExException{filePath, kShortWrite};
}

void CFileEx::Abort() {
  if (handle == INVALID_HANDLE_VALUE) return;
  CloseHandle(handle);
  handle = INVALID_HANDLE_VALUE;
  ownsHandle = false;
  filePath.clear();
}

void CFileEx::Flush() {
  if (handle == INVALID_HANDLE_VALUE) return;
  if (!FlushFileBuffers(handle)) ThrowLastError();
}

void CFileEx::Close() {
  bool closed = handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
  DWORD error = GetLastError();
  handle = INVALID_HANDLE_VALUE;
  ownsHandle = false;
  filePath.clear();
  if (!closed) throw CFileExException{std::wstring(), static_cast<int32_t>(error)};
}
