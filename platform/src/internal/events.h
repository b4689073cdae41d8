// What a display back end hands to the message queue: the descriptor it wants watched,
// the input it read and the windows that need painting. The queue of the thread that owns
// the windows waits on posted messages, timers and every registered source at once, and
// keeps the Windows order: sent, posted, input, WM_PAINT, WM_TIMER.
#pragma once

#include <windows.h>

#include <string>

namespace kvplat {

// A source of display events, watched by the message wait of the thread that added it.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // The descriptor that becomes readable when events arrive (a display connection).
  virtual int Fd() const = 0;
  // Reads whatever has arrived without blocking and turns it into QueueInputMessage and
  // RequestPaint calls. Called on the owning thread, outside every queue lock, before each
  // wait (events may already sit in a client-side buffer) and whenever Fd() is readable.
  virtual void Pump() = 0;
};

// Adds or removes a source for the calling thread's queue. The caller keeps ownership
// and removes the source before destroying it.
void AddEventSource(EventSource* source);
void RemoveEventSource(EventSource* source);

// Queues a mouse or keyboard message for the thread that owns msg.hwnd; it is retrieved
// after posted messages. For WM_KEYDOWN/WM_SYSKEYDOWN, `text` holds the characters the
// key produced (from the input method): TranslateMessage posts one WM_CHAR per character
// when the application translates the message. False when the window does not exist.
bool QueueInputMessage(const MSG& msg, std::wstring text = {});

// Marks a window as needing paint: its thread retrieves WM_PAINT for it, after input and
// before timers, until ValidatePaint (BeginPaint, or DefWindowProcW's WM_PAINT).
void RequestPaint(HWND window);
void ValidatePaint(HWND window);
bool IsPaintPending(HWND window);

}  // namespace kvplat
