// CSimpleThread: a base class for an object that owns one worker thread running Run().
// The owner starts the thread, asks it to stop through a flag Run() polls, and waits for
// its end with a time limit, terminating it when the limit passes.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

class CSimpleThread {
 public:
  CSimpleThread();
  // Subclasses stop their thread before this runs; a thread still linked is let go.
  virtual ~CSimpleThread();
  CSimpleThread(const CSimpleThread&) = delete;
  CSimpleThread& operator=(const CSimpleThread&) = delete;

  // Sets the stop flag and waits up to timeout ms (INFINITE allowed) for the end; true
  // unless the thread handle vanished before the wait. True at once without a thread.
  virtual bool StopThread(DWORD timeout);
  // Starts the thread unless it runs; true when a thread runs afterwards.
  virtual bool StartThread();

  bool IsRunning();
  // Waits for the end (from another thread than the worker), terminates the thread after
  // the timeout, and releases the handle. False when there is no handle.
  bool DestroyThread(DWORD timeout);

  // The thread's handle and id: null and 0 when there is no thread.
  HANDLE ThreadHandle() const;
  DWORD ThreadId() const;

 protected:
  // The thread's body: returns when stopRequested is set.
  virtual void Run() = 0;

  // Written by the owner, polled by Run(); a stale read only delays the stop by one pass.
  std::atomic<bool> stopRequested{false};

 private:
  struct Link;
  struct StartParams;
  static unsigned WINAPI ThreadProc(void* param);
  void ReleaseHandleLocked();

  // Guarded by link_->mutex: the worker releases its own handle when Run() returns,
  // unless the owner has claimed that release first.
  HANDLE threadHandle = nullptr;
  DWORD threadId = 0;
  std::shared_ptr<Link> link_;
};
