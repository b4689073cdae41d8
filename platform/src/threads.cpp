// Threads: identities, creation, exit codes, waits and the stand-in for forced termination.
//
// Every thread is a ThreadObject in the handle table. The running thread keeps its own
// reference, so the object (its exit code, its signalled state) outlives a handle that
// was closed early, as a Windows thread object does.
//
// Linux cannot end another thread by force without leaving its locks and memory in an
// unknown state, so TerminateThread does not stop the thread's code: it records the end
// with the given exit code at once, so GetExitCodeThread reports that code and every
// waiter is released, and the thread itself (created detached) keeps running until its
// function returns; its own exit code is then ignored. Callers that terminate a thread
// must therefore keep whatever its code still touches alive until it returns.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>

#include <process.h>
#include <windows.h>

#include "internal/handles.h"

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

namespace {

class ThreadObject : public kvplat::SignalObject {
 public:
  // Records the end of the thread; the first end (return or termination) wins.
  void End(DWORD exitCode) {
    {
      std::lock_guard lock(mutex_);
      if (ended_) return;
      ended_ = true;
      exitCode_ = exitCode;
    }
    Signal();
  }

  DWORD ExitCode() const {
    std::lock_guard lock(mutex_);
    return ended_ ? exitCode_ : STILL_ACTIVE;
  }

  // The start handshake: the new thread reports its id before running the caller's code.
  void ReportId(DWORD id) {
    {
      std::lock_guard lock(mutex_);
      id_ = id;
    }
    started_.notify_all();
  }

  DWORD AwaitId() {
    std::unique_lock lock(mutex_);
    started_.wait(lock, [this] { return id_ != 0; });
    return id_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable started_;
  bool ended_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
  DWORD id_ = 0;
};

struct StartBlock {
  std::shared_ptr<ThreadObject> thread;
  unsigned(WINAPI* function)(void*);
  void* argument;
};

void* ThreadMain(void* raw) {
  std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(raw));
  std::shared_ptr<ThreadObject> self = std::move(start->thread);  // this thread's own reference
  self->ReportId(GetCurrentThreadId());
  unsigned code = start->function(start->argument);
  self->End(code);
  return nullptr;
}

}  // namespace

uintptr_t _beginthreadex(void* /*security*/, unsigned stackSize,
                         unsigned(WINAPI* startAddress)(void*), void* argList, unsigned initFlag,
                         unsigned* threadId) {
  if (!startAddress || initFlag != 0) {
    errno = EINVAL;
    return 0;
  }
  auto thread = std::make_shared<ThreadObject>();
  auto* start = new StartBlock{thread, startAddress, argList};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (stackSize != 0) pthread_attr_setstacksize(&attr, stackSize);
  pthread_t id;
  int error = pthread_create(&id, &attr, ThreadMain, start);
  pthread_attr_destroy(&attr);
  if (error != 0) {
    delete start;
    errno = error;
    return 0;
  }
  DWORD tid = thread->AwaitId();
  if (threadId) *threadId = tid;
  return reinterpret_cast<uintptr_t>(kvplat::RegisterHandle(std::move(thread)));
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto object = kvplat::LookupHandleAs<ThreadObject>(thread);
  if (!object) return FALSE;
  if (exitCode) *exitCode = object->ExitCode();
  return TRUE;
}

BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
  auto object = kvplat::LookupHandleAs<ThreadObject>(thread);
  if (!object) return FALSE;
  object->End(exitCode);
  return TRUE;
}
