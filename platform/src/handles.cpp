// Handle table, CloseHandle and WaitForSingleObject.
#include "internal/handles.h"

#include <chrono>
#include <unordered_map>

namespace kvplat {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x1000;  // multiples of 4, as Windows hands them out
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // outlives static destructors of callers
  return *table;
}

}  // namespace

DWORD KernelObject::Wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

DWORD SignalObject::Wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  if (milliseconds == INFINITE) {
    cv_.wait(lock, [this] { return signalled_; });
    return WAIT_OBJECT_0;
  }
  bool done = cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void SignalObject::Signal() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  cv_.notify_all();
}

bool SignalObject::IsSignalled() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  uintptr_t id = table.next;
  table.next += 4;
  table.objects.emplace(id, std::move(object));
  return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == table.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

bool UnregisterHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> released;  // destroyed outside the table lock
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == table.objects.end()) return false;
  released = std::move(it->second);
  table.objects.erase(it);
  return true;
}

}  // namespace kvplat

BOOL CloseHandle(HANDLE object) {
  if (!kvplat::UnregisterHandle(object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto object = kvplat::LookupHandle(handle);
  if (!object) return WAIT_FAILED;
  return object->Wait(milliseconds);
}
