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
