// Posting, sending, retrieving and dispatching messages; the quit message; the hooks a
// display back end uses to feed input and paint requests into the queues.
#include <windows.h>

#include "internal/events.h"
#include "internal/msgqueue.h"
#include "internal/windowrecord.h"

using kvplat::ThreadQueue;

namespace {

bool IsOwnedByCaller(const kvplat::Window& window) {
  return window.threadId == GetCurrentThreadId();
}

// The queue a display hook addresses: the owner's of a live window.
std::shared_ptr<kvplat::Window> WindowForHook(HWND window) {
  auto record = kvplat::LookupWindow(window);
  return record && !record->messageOnly ? record : nullptr;
}

BOOL Retrieve(LPMSG msg, HWND window, UINT min, UINT max, bool remove, bool wait) {
  if (window && window != reinterpret_cast<HWND>(-1)) {
    auto record = kvplat::LookupWindow(window);
    if (!record) return -1;
    if (!IsOwnedByCaller(*record)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
  }
  kvplat::MessageFilter filter{window, min, max};
  return ThreadQueue::Current()->Retrieve(msg, filter, remove, wait) ? TRUE : FALSE;
}

}  // namespace

namespace kvplat {

void AddEventSource(EventSource* source) { ThreadQueue::Current()->AddSource(source); }

void RemoveEventSource(EventSource* source) { ThreadQueue::Current()->RemoveSource(source); }

bool QueueInputMessage(const MSG& msg, std::wstring text) {
  auto record = WindowForHook(msg.hwnd);
  return record && record->queue->PostInput(msg, std::move(text), record.get());
}

void RequestPaint(HWND window) {
  if (auto record = WindowForHook(window)) record->queue->SetPaintPending(window, true);
}

void ValidatePaint(HWND window) {
  if (auto record = LookupWindow(window)) record->queue->SetPaintPending(window, false);
}

bool IsPaintPending(HWND window) {
  auto record = LookupWindow(window);
  return record && record->queue->IsPaintPending(window);
}

}  // namespace kvplat

// A null window posts a thread message to the calling thread.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{window, message, wParam, lParam, 0, {}};
  if (!window) return ThreadQueue::Current()->Post(msg, nullptr);
  auto record = kvplat::LookupWindow(window);
  if (!record) return FALSE;
  if (!record->queue->Post(msg, record.get())) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// On the owning thread the window procedure is called at once; from another thread the
// message waits in the owner's queue for its next retrieval, and the caller blocks.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto record = kvplat::LookupWindow(window);
  if (!record) return 0;
  if (!IsOwnedByCaller(*record)) return record->queue->SendAndWait(record, message, wParam, lParam);
  return record->proc ? record->proc(window, message, wParam, lParam) : 0;
}

BOOL GetMessageW(LPMSG msg, HWND window, UINT msgFilterMin, UINT msgFilterMax) {
  BOOL got = Retrieve(msg, window, msgFilterMin, msgFilterMax, true, true);
  if (got != TRUE) return got;
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND window, UINT msgFilterMin, UINT msgFilterMax,
                  UINT removeMsg) {
  BOOL got = Retrieve(msg, window, msgFilterMin, msgFilterMax, (removeMsg & PM_REMOVE) != 0,
                      false);
  return got == TRUE ? TRUE : FALSE;
}

// Characters come from the display's input method along with the key-down message;
// translating the key posts them as WM_CHAR.
BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      for (wchar_t ch : ThreadQueue::Current()->TakeKeyText(*msg)) {
        PostMessageW(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam);
      }
      return TRUE;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return TRUE;
    default:
      return FALSE;
  }
}

// A WM_TIMER that names a timer procedure calls it, but only while that timer is live on
// this thread: a posted WM_TIMER cannot make the loop call an arbitrary address.
LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  auto& queue = *ThreadQueue::Current();
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    if (queue.Timers().IsLive(msg->hwnd, msg->wParam, proc)) {
      proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
      return 0;
    }
  }
  if (!msg->hwnd) return 0;
  auto record = kvplat::LookupWindow(msg->hwnd);
  if (!record) return 0;
  if (!IsOwnedByCaller(*record)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return record->proc ? record->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

// The program has no accelerator tables: nothing is ever consumed.
int TranslateAcceleratorW(HWND, HACCEL, LPMSG) { return 0; }

void PostQuitMessage(int exitCode) { ThreadQueue::Current()->PostQuit(exitCode); }
