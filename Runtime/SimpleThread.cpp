// The worker thread base. Its handle is released exactly once: either by the worker when
// Run() returns, or by the owner (IsRunning seeing the end, DestroyThread, the
// destructor). Both sides decide under one lock kept in a block the worker shares, so the
// worker never touches an owner that has let it go (after a termination the thread may
// go on running until Run() returns, and the owner may be gone by then).
#include "Runtime/SimpleThread.h"

#include <process.h>

#include <mutex>

#include "Runtime/Log.h"

namespace {
const wchar_t kSourceFile[] = L".\\Runtime\\SimpleThread";
}

struct CSimpleThread::Link {
  std::mutex mutex;
  uint64_t lastStarted = 0;
  // The thread that may still release its own handle; 0 once the owner claimed it.
  uint64_t releasedByWorker = 0;
};

struct CSimpleThread::StartParams {
  CSimpleThread* self;
  std::shared_ptr<Link> link;
  uint64_t generation;
};

CSimpleThread::CSimpleThread() : link_(std::make_shared<Link>()) {}

CSimpleThread::~CSimpleThread() {
  std::lock_guard lock(link_->mutex);
  ReleaseHandleLocked();
}

void CSimpleThread::ReleaseHandleLocked() {
  if (threadHandle) CloseHandle(threadHandle);
  threadHandle = nullptr;
  threadId = 0;
  link_->releasedByWorker = 0;
}

HANDLE CSimpleThread::ThreadHandle() const {
  std::lock_guard lock(link_->mutex);
  return threadHandle;
}

DWORD CSimpleThread::ThreadId() const {
  std::lock_guard lock(link_->mutex);
  return threadId;
}

bool CSimpleThread::IsRunning() {
  std::lock_guard lock(link_->mutex);
  if (!threadHandle) return false;
  DWORD code = 0;
  if (!GetExitCodeThread(threadHandle, &code) || code != STILL_ACTIVE) {
    ReleaseHandleLocked();
    return false;
  }
  return true;
}

bool CSimpleThread::StartThread() {
  if (IsRunning()) return true;
  stopRequested = false;
  // The lock is held until handle and id are stored, so a Run() that returns at once
  // finds them when it comes to release its handle.
  std::lock_guard lock(link_->mutex);
  ReleaseHandleLocked();
  uint64_t generation = ++link_->lastStarted;
  auto* params = new StartParams{this, link_, generation};
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, ThreadProc, params, 0, &id);
  if (!handle) {
    delete params;
    return false;
  }
  threadHandle = reinterpret_cast<HANDLE>(handle);
  threadId = id;
  link_->releasedByWorker = generation;
  return true;
}

unsigned WINAPI CSimpleThread::ThreadProc(void* param) {
  std::unique_ptr<StartParams> params(static_cast<StartParams*>(param));
  params->self->Run();
  std::lock_guard lock(params->link->mutex);
  if (params->link->releasedByWorker == params->generation) params->self->ReleaseHandleLocked();
  return 0;
}

bool CSimpleThread::StopThread(DWORD timeout) {
  if (!IsRunning()) return true;
  stopRequested = true;
  return DestroyThread(timeout);
}

bool CSimpleThread::DestroyThread(DWORD timeout) {
  HANDLE handle;
  DWORD id;
  {
    std::lock_guard lock(link_->mutex);
    if (!threadHandle) return false;
    handle = threadHandle;
    id = threadId;
    link_->releasedByWorker = 0;  // from here on the owner releases this handle
  }
  if (id != GetCurrentThreadId() && WaitForSingleObject(handle, timeout) == WAIT_TIMEOUT) {
    ConsoleLogger::Instance().LogAt(LogLevel_Error, __LINE__, kSourceFile,
                                    L"CSimpleThread::DestroyThread线程结束超时 tid:%d ", id);
    FileLogger::Instance().LogAt(LogLevel_Error, __LINE__, kSourceFile,
                                 L"CSimpleThread::DestroyThread线程结束超时 tid:%d ", id);
    TerminateThread(handle, 0);
  }
  std::lock_guard lock(link_->mutex);
  ReleaseHandleLocked();
  return true;
}
