// Threads: identities, creation, exit codes.
#include <sys/syscall.h>
#include <unistd.h>

#include <windows.h>

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }
