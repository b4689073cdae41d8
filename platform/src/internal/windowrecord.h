// The window table shared by the message, timer and window areas (and later the display
// back ends): a window's record, looked up by handle.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>

namespace kvplat {

class ThreadQueue;

struct WindowClass {
  ATOM atom = 0;
  std::wstring name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::atomic<int> windows{0};  // live windows of the class
};

// A registered class by name (case-insensitive) or atom (MAKEINTATOM), or null with
// ERROR_CLASS_DOES_NOT_EXIST.
std::shared_ptr<WindowClass> LookupClass(LPCWSTR nameOrAtom);

struct Window {
  HWND handle = nullptr;
  DWORD threadId = 0;                  // the thread that created it, the only one that
  std::shared_ptr<ThreadQueue> queue;  // dispatches its messages (and its queue)
  std::shared_ptr<WindowClass> windowClass;
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // the parent of a child window
  HWND owner = nullptr;   // the owner of a top-level window
  bool messageOnly = false;
  HINSTANCE instance = nullptr;
  HMENU menu = nullptr;
  std::wstring text;
  RECT rect{};
  std::map<std::wstring, HANDLE> props;  // keyed by the folded name
  bool destroying = false;
  // Set (under the queue lock) once its queued messages were dropped: nothing may be
  // queued for it any more.
  std::atomic<bool> closed{false};
};

// The record of a live window, or null with ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<Window> LookupWindow(HWND window);

// Removes the windows of a thread that has ended, without sending them anything.
void ForgetThreadWindows(DWORD threadId);

// True when `window` is `ancestor` or one of its descendants (children, not owned).
bool IsSelfOrDescendant(HWND ancestor, HWND window);

}  // namespace kvplat
