// The kernel handle table shared by every area that hands out HANDLEs (threads,
// processes, files). A handle names a reference to a KernelObject; the object lives
// while a handle or an internal owner (a running thread, a reaper) still holds it.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace kvplat {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Waits until the object is signalled: WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED
  // with the last error set for objects that cannot be waited on.
  virtual DWORD Wait(DWORD milliseconds);
};

// An object that becomes signalled once and stays so (a thread or process that ended).
class SignalObject : public KernelObject {
 public:
  DWORD Wait(DWORD milliseconds) override;
  void Signal();
  bool IsSignalled() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

// Registers an object and returns a new handle naming it (never null or invalid).
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The object a handle names, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  auto object = std::dynamic_pointer_cast<T>(LookupHandle(handle));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

// Removes the handle from the table; false when it names nothing.
bool UnregisterHandle(HANDLE handle);

}  // namespace kvplat
