#include "Http/DownloadWriteFile.h"

#include <windows.h>

#include "Http/HttpLog.h"
#include "Http/HttpResult.h"

namespace {

// Read and write, others may read, not inherited, opened or created, content kept.
constexpr unsigned int kOpenFlags = 0xB0A2;

}  // namespace

DownloadWriteFile::~DownloadWriteFile() { Close(); }

bool DownloadWriteFile::IsOpen() const { return file_.IsOpen(); }

// Open and write failures are logged with the same texts.
void DownloadWriteFile::Fail(int type, int code, int systemError) {
  HTTP_LOG_CONSOLE(LogLevel_Error, L"[DownloadWriteFile]打开错误:%d", systemError);
  HTTP_LOG_FILE(LogLevel_Error, L"[DownloadWriteFile]打开错误 %d:%d", 1, systemError);
  errorType = type;
  errorCode = code;
}

bool DownloadWriteFile::Open(const std::wstring& path) {
  Close();
  path_ = path;
  CFileExException error;
  if (!file_.Open(path_.c_str(), kOpenFlags, &error)) {
    Fail(kErrSys, kCodeOpenFailed, error.code);
    return false;
  }
  try {
    file_.SeekToEnd();
  } catch (const CFileExException& e) {
    file_.Abort();
    Fail(kErrSys, kCodeOpenFailed, e.code);
    return false;
  }
  return true;
}

int64_t DownloadWriteFile::Length() {
  try {
    return file_.IsOpen() ? static_cast<int64_t>(file_.SeekToEnd()) : -1;
  } catch (const CFileExException&) {
    return -1;
  }
}

int32_t DownloadWriteFile::Write(const void* data, uint32_t count) {
  if (!file_.IsOpen()) {
    errorType = kErrUser;
    errorCode = kCodeNotOpen;
    return -1;
  }
  try {
    file_.Write(data, count);
  } catch (const CFileExException& e) {
    Fail(kErrSys, e.code, e.code);
    return -1;
  }
  return static_cast<int32_t>(count);
}

void DownloadWriteFile::Close() {
  if (file_.IsOpen()) file_.Abort();
  errorType = 0;
  errorCode = 0;
}

void DownloadWriteFile::Clear() {
  if (!file_.IsOpen()) {
    DeleteFileW(path_.c_str());
    return;
  }
  try {
    file_.SetLength(0);
  } catch (const CFileExException& e) {
    // Appending after a failed truncation would corrupt the file: stop writing, so that
    // the transfer fails and is retried.
    file_.Abort();
    errorType = kErrSys;
    errorCode = e.code;
  }
}
