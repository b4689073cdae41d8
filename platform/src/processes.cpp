// Child processes: CreateProcessW over posix_spawn, process objects in the handle table,
// exit codes.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "internal/cmdline.h"
#include "internal/drivemap.h"
#include "internal/errors.h"
#include "internal/handles.h"
#include "internal/spawn.h"
#include "internal/utf.h"

extern char** environ;

namespace {

constexpr DWORD kErrorDirectory = 267;  // ERROR_DIRECTORY: the current folder is not one

// A child process. Its reaper thread holds the object until the child has ended, so
// closing every handle neither blocks nor leaves a zombie.
class ProcessObject : public kvplat::SignalObject {
 public:
  explicit ProcessObject(pid_t pid) : pid_(pid) {}
  DWORD ExitCode() const { return IsSignalled() ? exitCode_.load() : STILL_ACTIVE; }

  static void StartReaper(std::shared_ptr<ProcessObject> process) {
    std::thread([process] { process->Reap(); }).detach();
  }

 private:
  void Reap() {
    exitCode_ = ExitCodeOf(kvplat::WaitForChild(pid_));
    Signal();
  }

  // Exit status as Windows reports it: the exit code, or for a crash the exception
  // status a Windows process would end with.
  static DWORD ExitCodeOf(int status) {
    if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
    switch (WTERMSIG(status)) {
      case SIGSEGV:
      case SIGBUS: return 0xC0000005u;   // access violation
      case SIGILL: return 0xC000001Du;   // illegal instruction
      case SIGFPE: return 0xC0000094u;   // integer division by zero
      case SIGABRT: return 3;            // abort()
      default: return 1;                 // ended from outside, as TerminateProcess(.., 1)
    }
  }

  pid_t pid_;
  std::atomic<DWORD> exitCode_{STILL_ACTIVE};
};

// Windows runs any executable file its user may read; the run bit of a host file (a
// downloaded package has none) is added before it is started.
DWORD MakeRunnable(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return kvplat::ErrorFromErrnoForPath(errno, path);
  if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
  if (access(path.c_str(), X_OK) == 0) return ERROR_SUCCESS;
  mode_t readable = st.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
  if (chmod(path.c_str(), st.st_mode | (readable >> 2)) != 0) return kvplat::ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

// The child's environment: ours, with the exact command line for a platform child.
std::vector<std::string> ChildEnvironment(const std::wstring& commandLine) {
  std::vector<std::string> env;
  std::string key = std::string(kvplat::kCommandLineVariable) + "=";
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).substr(0, key.size()) != key) env.emplace_back(*e);
  env.push_back(key + kvplat::WideToUtf8(commandLine));
  return env;
}

}  // namespace

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation) {
  if (!startupInfo || !processInformation || (!applicationName && !commandLine)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Creation flags and a separate environment block have no caller; they are refused
  // rather than silently ignored.
  if (creationFlags != 0 || environment) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  std::wstring line = commandLine ? commandLine : L"";
  std::vector<std::wstring> wideArgs = kvplat::SplitCommandLine(line);
  std::wstring module = applicationName ? applicationName : wideArgs.empty() ? L"" : wideArgs[0];
  if (module.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (line.empty()) {
    line = kvplat::QuoteArgument(module);
    wideArgs = {module};
  }

  std::string program = kvplat::ToHostPath(module);
  if (DWORD error = MakeRunnable(program); error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  std::string folder;
  if (currentDirectory) {
    folder = kvplat::ToHostPath(currentDirectory);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      SetLastError(kErrorDirectory);
      return FALSE;
    }
  }

  kvplat::SpawnRequest request{program, {}, ChildEnvironment(line), folder};
  for (const auto& arg : wideArgs) request.args.push_back(kvplat::WideToUtf8(arg));
  pid_t pid = 0;
  if (int error = kvplat::Spawn(request, pid); error != 0) {
    SetLastError(kvplat::ErrorFromErrnoForPath(error, program));
    return FALSE;
  }

  auto process = std::make_shared<ProcessObject>(pid);
  ProcessObject::StartReaper(process);
  processInformation->hProcess = kvplat::RegisterHandle(process);
  // The primary thread ends with the process; its handle waits on the same object.
  processInformation->hThread = kvplat::RegisterHandle(process);
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  auto object = kvplat::LookupHandleAs<ProcessObject>(process);
  if (!object || !exitCode) {
    if (object) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = object->ExitCode();
  return TRUE;
}
