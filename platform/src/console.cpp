// Console and debugger output. The standard handles name the process's standard
// streams; WriteConsoleW writes wide text to them in the locale codeset, and the
// debugger channel is standard error.
#include <windows.h>

#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "internal/handles.h"
#include "internal/utf.h"

namespace {

class ConsoleStream : public kvplat::KernelObject {
 public:
  explicit ConsoleStream(int fd) : fd_(fd) {}
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// The text in the locale codeset; in the plain ASCII "C" locale (a process that never
// set its locale) UTF-8 instead, so that no character is lost on the way to a terminal.
std::string ConsoleBytes(const wchar_t* text, size_t length) {
  const char* codeset = nl_langinfo(CODESET);
  if (length == 0) return {};
  if (!codeset || std::strcmp(codeset, "ANSI_X3.4-1968") == 0)
    return kvplat::WideToUtf8(std::wstring_view(text, length));
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                 nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), bytes.data(), size, nullptr,
                        nullptr);
  return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

HANDLE GetStdHandle(DWORD stdHandle) {
  int fd;
  switch (stdHandle) {
    case STD_INPUT_HANDLE: fd = STDIN_FILENO; break;
    case STD_OUTPUT_HANDLE: fd = STDOUT_FILENO; break;
    case STD_ERROR_HANDLE: fd = STDERR_FILENO; break;
    default: SetLastError(ERROR_INVALID_HANDLE); return INVALID_HANDLE_VALUE;
  }
  // One handle per stream for the life of the process, registered on first use.
  static std::mutex mutex;
  static HANDLE handles[3] = {};
  std::lock_guard<std::mutex> guard(mutex);
  if (!handles[fd]) handles[fd] = kvplat::RegisterHandle(std::make_shared<ConsoleStream>(fd));
  return handles[fd];
}

BOOL WriteConsoleW(HANDLE consoleOutput, const void* buffer, DWORD charsToWrite,
                   LPDWORD charsWritten, LPVOID /*reserved*/) {
  if (charsWritten) *charsWritten = 0;
  auto stream = kvplat::LookupHandleAs<ConsoleStream>(consoleOutput);
  if (!stream) return FALSE;
  if (!buffer && charsToWrite > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string bytes = ConsoleBytes(static_cast<const wchar_t*>(buffer), charsToWrite);
  if (!WriteAll(stream->Fd(), bytes)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  if (charsWritten) *charsWritten = charsToWrite;
  return TRUE;
}

void OutputDebugStringW(LPCWSTR outputString) {
  if (!outputString) return;
  WriteAll(STDERR_FILENO, ConsoleBytes(outputString, std::wcslen(outputString)));
}
