// The lock, the intrusive thread-safe reference count and the main-thread dispatch.
#pragma once

#include <windows.h>

// A recursive lock with a depth counter kept for diagnosis.
class CLock {
 public:
  CLock() { InitializeCriticalSection(&section_); }
  ~CLock() { DeleteCriticalSection(&section_); }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  void Lock() {
    EnterCriticalSection(&section_);
    ++depth_;
  }
  void Unlock() {
    --depth_;
    LeaveCriticalSection(&section_);
  }
  LONG Depth() const { return depth_; }

 private:
  CRITICAL_SECTION section_;
  LONG depth_ = 0;
};

// Scoped guard over a CLock; a null lock makes it do nothing.
class CAutoLock {
 public:
  explicit CAutoLock(CLock* lock) : lock_(lock) {
    if (lock_) lock_->Lock();
  }
  ~CAutoLock() { Leave(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

  // Leaves early; the destructor then does nothing.
  void Leave() {
    if (lock_) {
      lock_->Unlock();
      lock_ = nullptr;
    }
  }

 private:
  CLock* lock_;
};

// Intrusive reference count changed only with interlocked operations; the release that
// reaches 0 deletes the object. Objects start at 0 and live while a CRefPtr holds them.
template <class T>
class CRefThreadSafeBase {
 public:
  CRefThreadSafeBase() = default;
  CRefThreadSafeBase(const CRefThreadSafeBase&) = delete;
  CRefThreadSafeBase& operator=(const CRefThreadSafeBase&) = delete;
  virtual ~CRefThreadSafeBase() = default;

  LONG AddRef() { return InterlockedIncrement(&refCount_); }
  LONG Release() {
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) delete this;
    return count;
  }
  LONG RefCount() const { return __atomic_load_n(&refCount_, __ATOMIC_SEQ_CST); }

 private:
  LONG refCount_ = 0;
};

template <class T>
class CRefPtr {
 public:
  CRefPtr() = default;
  CRefPtr(T* object) : ptr_(object) {  // NOLINT: implicit, as raw pointers are handed over
    if (ptr_) ptr_->AddRef();
  }
  CRefPtr(const CRefPtr& other) : CRefPtr(other.ptr_) {}
  template <class U>
  CRefPtr(const CRefPtr<U>& other) : CRefPtr(other.Get()) {}  // NOLINT: upcast
  ~CRefPtr() {
    if (ptr_) ptr_->Release();
  }

  CRefPtr& operator=(const CRefPtr& other) {
    if (this != &other) Reset(other.ptr_);
    return *this;
  }

  // Stores the new target, references it, then releases the old one.
  void Reset(T* object = nullptr) {
    T* old = ptr_;
    ptr_ = object;
    if (ptr_) ptr_->AddRef();
    if (old) old->Release();
  }

  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  T& operator*() const { return *ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  bool operator==(const CRefPtr& other) const { return ptr_ == other.ptr_; }

 private:
  T* ptr_ = nullptr;
};

// ---------------------------------------------------------------------------------------
// Work posted to the main thread: a process-wide FIFO of reference-counted tasks, drained
// by a hidden message-only window when its registered message arrives.
// ---------------------------------------------------------------------------------------

class MainThreadTaskBase : public CRefThreadSafeBase<MainThreadTaskBase> {
 public:
  // The work, run on the main thread.
  virtual void Run() = 0;
  ~MainThreadTaskBase() override = default;
};

// Calls fn(first, second) on the main thread. A1/A2 are the stored types (a stored
// CRefPtr keeps its object alive until the task is gone), P1/P2 the parameter types.
template <class A1, class P1, class A2, class P2>
class MainThreadTask2 : public MainThreadTaskBase {
 public:
  typedef void (*Function)(P1, P2);

  MainThreadTask2(Function function, P1 firstArgument, P2 secondArgument)
      : fn(function), first(firstArgument), second(secondArgument) {}

  void Run() override { fn(first, second); }

  Function fn;
  A1 first;
  A2 second;
};

typedef void (*MainThreadInvoke)(CRefPtr<MainThreadTaskBase>& task);

// One queued task with the function that runs it.
struct DispatchEntry {
  MainThreadInvoke invoke;
  CRefPtr<MainThreadTaskBase> task;
};

// Runs the task: the invoke function every producer queues.
void InvokeTask(CRefPtr<MainThreadTaskBase>& task);

// Creates the hidden window (class "ThreadingWindowClass") and the registered message
// "com.kavro.MainThreadFired". Main thread; does nothing when the window exists.
void InitMainThreadDispatch();

// Queues a task from any thread. Only a post to an empty queue sends the wake-up
// message: one message per non-empty period however many tasks arrive.
void PostToMainThread(MainThreadInvoke invoke, const CRefPtr<MainThreadTaskBase>& task);

// Runs queued tasks in posting order, without the lock held, until the queue is empty or
// a pass has taken more than 50 ms; then the wake-up message is posted again so that
// painting and input are served before the rest. Main thread only.
void DrainMainThreadQueue();

// Drops the queued tasks without running them (releasing their references) and destroys
// the hidden window. Tasks posted afterwards are kept but never run.
void ShutdownMainThreadDispatch();

// Seconds from a monotonic high-resolution clock that follows the system time; never
// less than a previous result.
double MonotonicSeconds();

class IClockSource;
// Makes MonotonicSeconds read `source` (null: the system again), with a fresh
// calibration. For tests.
void SetMonotonicClockSource(IClockSource* source);
