// The message queue of one thread. Any thread may post to it; only its own thread reads
// it. Retrieval keeps the Windows order: messages sent from other threads are delivered
// first (inside the retrieval), then posted messages, input, WM_QUIT once no posted or
// input message is left, WM_PAINT, and WM_TIMER last. The wait blocks in poll() on an
// eventfd (posts and sends from other threads), the display event sources and the next
// timer's due time at once.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "internal/events.h"
#include "internal/timerlist.h"

namespace kvplat {

struct Window;

// What GetMessageW/PeekMessageW ask for.
struct MessageFilter {
  HWND window = nullptr;  // null: any; (HWND)-1: thread messages only; else that window
  UINT min = 0;           // and its children; a range of 0, 0 takes every message
  UINT max = 0;

  bool Matches(const MSG& msg) const;
};

class ThreadQueue {
 public:
  ThreadQueue();
  ~ThreadQueue();
  ThreadQueue(const ThreadQueue&) = delete;
  ThreadQueue& operator=(const ThreadQueue&) = delete;

  // The calling thread's queue, made on first use. When the thread ends, its windows
  // go (without messages: no procedure can run on a finished thread) and senders
  // still waiting on it get 0.
  static const std::shared_ptr<ThreadQueue>& Current();

  // From any thread. `target` is the window the message is for (null for a thread
  // message); false when that window is already gone.
  bool Post(const MSG& msg, const Window* target);
  bool PostInput(const MSG& msg, std::wstring text, const Window* target);
  // From another thread: waits until the owner has run the window procedure.
  LRESULT SendAndWait(const std::shared_ptr<Window>& target, UINT message, WPARAM wParam,
                      LPARAM lParam);

  // Owner thread only.
  void PostQuit(int exitCode);
  bool Retrieve(MSG* msg, const MessageFilter& filter, bool remove, bool wait);
  // Drops everything queued for a window that is being destroyed (its timers, posted and
  // input messages, paint request, pending sends) and closes it to further posts.
  void DropWindow(Window& window);
  TimerList& Timers() { return timers_; }
  // The characters the last retrieved key-down message produced, for TranslateMessage.
  std::wstring TakeKeyText(const MSG& msg);

  void AddSource(EventSource* source);
  void RemoveSource(EventSource* source);
  void SetPaintPending(HWND window, bool pending);
  bool IsPaintPending(HWND window);

 private:
  struct InputMessage {
    MSG msg;
    std::wstring text;
  };
  struct SentMessage {
    std::shared_ptr<Window> target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
  };

  void OwnerExited();
  void Wake();  // under mutex_
  void DeliverSentMessages();
  void PumpSources();
  bool TakeQueued(MSG* msg, const MessageFilter& filter, bool remove);
  void WaitForEvents(const MessageFilter& filter);

  std::mutex mutex_;
  std::condition_variable sendDone_;
  int wakeFd_ = -1;
  bool wakePending_ = false;
  std::deque<MSG> posted_;
  std::deque<InputMessage> input_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  std::vector<HWND> paint_;
  bool ownerGone_ = false;
  bool quitPending_ = false;
  int quitCode_ = 0;
  POINT lastPoint_{};
  // Owner thread only.
  TimerList timers_;
  std::vector<EventSource*> sources_;
  MSG keyMessage_{};
  std::wstring keyText_;
};

}  // namespace kvplat
