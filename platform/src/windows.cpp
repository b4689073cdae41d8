// The window table: creation with its creation messages, destruction, window data,
// properties and the default window procedure. Windows here are message-only or hidden;
// a display back end gives visible windows their surface.
#include <algorithm>
#include <utility>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "internal/events.h"
#include "internal/msgqueue.h"
#include "internal/nocase.h"
#include "internal/windowrecord.h"

namespace kvplat {
namespace {

constexpr DWORD kErrorCannotFindWndClass = 1407;
constexpr DWORD kErrorInvalidIndex = 1413;

struct WindowTable {
  std::mutex mutex;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  // Handles are never reused, so a stale handle stays invalid.
  uintptr_t next = 0x10010;
};

WindowTable& Windows() {
  static WindowTable* table = new WindowTable;  // lives past every static destructor
  return *table;
}

HWND AddWindow(const std::shared_ptr<Window>& window) {
  auto& table = Windows();
  std::lock_guard lock(table.mutex);
  window->handle = reinterpret_cast<HWND>(table.next);
  table.next += 4;
  table.windows.emplace(window->handle, window);
  return window->handle;
}

void RemoveWindow(HWND handle) {
  std::shared_ptr<Window> released;  // destroyed outside the table lock
  auto& table = Windows();
  std::lock_guard lock(table.mutex);
  auto it = table.windows.find(handle);
  if (it == table.windows.end()) return;
  released = std::move(it->second);
  table.windows.erase(it);
}

// Windows whose parent (children) or owner (owned windows) is `handle`.
std::vector<HWND> Dependants(HWND handle, bool children) {
  std::vector<HWND> found;
  auto& table = Windows();
  std::lock_guard lock(table.mutex);
  for (const auto& [key, window] : table.windows) {
    if ((children ? window->parent : window->owner) == handle) found.push_back(key);
  }
  return found;
}

LRESULT Call(const Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  return window.proc ? window.proc(window.handle, message, wParam, lParam) : 0;
}

// WM_DESTROY goes to a window before its children; WM_NCDESTROY after theirs.
void SendDestroy(const std::shared_ptr<Window>& window) {
  window->destroying = true;
  Call(*window, WM_DESTROY, 0, 0);
  for (HWND child : Dependants(window->handle, true)) {
    if (auto record = LookupWindow(child); record && !record->destroying) SendDestroy(record);
  }
}

void FinishDestroy(const std::shared_ptr<Window>& window) {
  for (HWND child : Dependants(window->handle, true)) {
    if (auto record = LookupWindow(child)) FinishDestroy(record);
  }
  Call(*window, WM_NCDESTROY, 0, 0);
  RemoveWindow(window->handle);
  // After the last message nothing more is queued or fired for the window.
  window->queue->DropWindow(*window);
  window->props.clear();
  --window->windowClass->windows;
}

void Destroy(const std::shared_ptr<Window>& window) {
  // Owned windows go first, as on Windows.
  for (HWND owned : Dependants(window->handle, false)) {
    if (auto record = LookupWindow(owned); record && !record->destroying) Destroy(record);
  }
  SendDestroy(window);
  FinishDestroy(window);
}

// Resolves the parent argument: a child's parent, a top-level window's owner, or the
// message-only parent. False (last error set) for a handle that names no window.
bool PlaceWindow(Window& window, HWND parent) {
  if (parent == HWND_MESSAGE) {
    window.messageOnly = true;
    return true;
  }
  if (!parent) return true;
  auto record = LookupWindow(parent);
  if (!record) return false;
  if (window.style & WS_CHILD) {
    window.parent = parent;
    window.messageOnly = record->messageOnly;
  } else {
    // The owner of a window is always a top-level window.
    while (record && record->parent) record = LookupWindow(record->parent);
    if (!record) return false;
    window.owner = record->handle;
  }
  return true;
}

std::wstring PropKey(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) {
    return L"#" + std::to_wstring(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
  }
  return FoldName(name);
}

// The record of a window the calling thread owns; other threads may not change it.
std::shared_ptr<Window> LookupOwnWindow(HWND handle) {
  auto record = LookupWindow(handle);
  if (record && record->threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return record;
}

}  // namespace

std::shared_ptr<Window> LookupWindow(HWND window) {
  auto& table = Windows();
  std::lock_guard lock(table.mutex);
  auto it = table.windows.find(window);
  if (it == table.windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return it->second;
}

void ForgetThreadWindows(DWORD threadId) {
  std::vector<std::shared_ptr<Window>> forgotten;
  {
    auto& table = Windows();
    std::lock_guard lock(table.mutex);
    for (auto it = table.windows.begin(); it != table.windows.end();) {
      if (it->second->threadId != threadId) {
        ++it;
        continue;
      }
      forgotten.push_back(std::move(it->second));
      it = table.windows.erase(it);
    }
  }
  for (auto& window : forgotten) {
    window->queue->DropWindow(*window);
    --window->windowClass->windows;
  }
}

bool IsSelfOrDescendant(HWND ancestor, HWND window) {
  auto& table = Windows();
  std::lock_guard lock(table.mutex);
  for (int depth = 0; window && depth < 256; ++depth) {
    if (window == ancestor) return true;
    auto it = table.windows.find(window);
    if (it == table.windows.end()) return false;
    window = it->second->parent;
  }
  return false;
}

}  // namespace kvplat

using kvplat::LookupWindow;
using kvplat::Window;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  auto windowClass = kvplat::LookupClass(className);
  if (!windowClass) {
    SetLastError(kvplat::kErrorCannotFindWndClass);
    return nullptr;
  }
  auto window = std::make_shared<Window>();
  window->threadId = GetCurrentThreadId();
  window->queue = kvplat::ThreadQueue::Current();
  window->windowClass = windowClass;
  window->proc = windowClass->proc;
  window->style = style;
  window->exStyle = exStyle;
  window->instance = instance;
  window->menu = menu;
  window->text = windowName ? windowName : L"";
  auto orZero = [](int value) { return value == CW_USEDEFAULT ? 0 : value; };
  window->rect = {orZero(x), orZero(y), orZero(x) + orZero(width), orZero(y) + orZero(height)};
  if (!kvplat::PlaceWindow(*window, parent)) return nullptr;
  ++windowClass->windows;
  HWND handle = kvplat::AddWindow(window);

  CREATESTRUCTW create{param, instance, menu, parent, orZero(height), orZero(width),
                       orZero(y), orZero(x), static_cast<LONG>(style), windowName,
                       className, exStyle};
  auto createParam = reinterpret_cast<LPARAM>(&create);
  if (!kvplat::Call(*window, WM_NCCREATE, 0, createParam)) {
    if (!window->destroying) {
      window->destroying = true;
      kvplat::FinishDestroy(window);
    }
    return nullptr;
  }
  // The procedure may have destroyed the window, or refused creation with -1.
  if (!LookupWindow(handle)) return nullptr;
  if (kvplat::Call(*window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  return LookupWindow(handle) ? handle : nullptr;
}

// Only the thread that created a window may destroy it.
BOOL DestroyWindow(HWND window) {
  auto record = kvplat::LookupOwnWindow(window);
  if (!record) return FALSE;
  if (!record->destroying) kvplat::Destroy(record);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  DWORD saved = GetLastError();
  bool exists = LookupWindow(window) != nullptr;
  SetLastError(saved);
  return exists;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT:
      kvplat::ValidatePaint(window);
      return 0;
    default:
      return 0;
  }
}

LRESULT CallWindowProcW(WNDPROC previous, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  return previous ? previous(window, message, wParam, lParam) : 0;
}

// Windows keeps the last error when the previous value is 0 and the call succeeds.
LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  auto record = LookupWindow(window);
  if (!record) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(record->proc);
    case GWLP_USERDATA: return record->userData;
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(record->instance);
    case GWL_STYLE: return static_cast<LONG>(record->style);
    case GWL_EXSTYLE: return static_cast<LONG>(record->exStyle);
    default: SetLastError(kvplat::kErrorInvalidIndex); return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR newValue) {
  auto record = kvplat::LookupOwnWindow(window);
  if (!record) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(
          std::exchange(record->proc, reinterpret_cast<WNDPROC>(newValue)));
    case GWLP_USERDATA: return std::exchange(record->userData, newValue);
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(
          std::exchange(record->instance, reinterpret_cast<HINSTANCE>(newValue)));
    case GWL_STYLE:
      return static_cast<LONG>(std::exchange(record->style, static_cast<DWORD>(newValue)));
    case GWL_EXSTYLE:
      return static_cast<LONG>(std::exchange(record->exStyle, static_cast<DWORD>(newValue)));
    default: SetLastError(kvplat::kErrorInvalidIndex); return 0;
  }
}

LONG GetWindowLongW(HWND window, int index) {
  return static_cast<LONG>(GetWindowLongPtrW(window, index));
}

LONG SetWindowLongW(HWND window, int index, LONG newValue) {
  return static_cast<LONG>(SetWindowLongPtrW(window, index, newValue));
}

BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto record = kvplat::LookupOwnWindow(window);
  if (!record) return FALSE;
  record->props[kvplat::PropKey(name)] = data;
  return TRUE;
}

HANDLE GetPropW(HWND window, LPCWSTR name) {
  auto record = LookupWindow(window);
  if (!record || !name) return nullptr;
  auto it = record->props.find(kvplat::PropKey(name));
  return it == record->props.end() ? nullptr : it->second;
}

HANDLE RemovePropW(HWND window, LPCWSTR name) {
  auto record = kvplat::LookupOwnWindow(window);
  if (!record || !name) return nullptr;
  auto it = record->props.find(kvplat::PropKey(name));
  if (it == record->props.end()) return nullptr;
  HANDLE data = it->second;
  record->props.erase(it);
  return data;
}
