// The per-thread message queue and its wait (see internal/msgqueue.h).
#include "internal/msgqueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "internal/windowrecord.h"

namespace kvplat {
namespace {

constexpr int64_t kNanosPerMilli = 1000000;

}  // namespace

bool MessageFilter::Matches(const MSG& msg) const {
  if (min != 0 || max != 0) {
    if (msg.message < min || msg.message > max) return false;
  }
  if (window == reinterpret_cast<HWND>(-1)) return msg.hwnd == nullptr;
  if (!window) return true;
  return IsSelfOrDescendant(window, msg.hwnd);
}

ThreadQueue::ThreadQueue() {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  // Without a wake-up descriptor the queue could never wait; nothing sensible can go on.
  if (wakeFd_ < 0) std::abort();
}

ThreadQueue::~ThreadQueue() { close(wakeFd_); }

const std::shared_ptr<ThreadQueue>& ThreadQueue::Current() {
  struct Owner {
    std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    ~Owner() { queue->OwnerExited(); }
  };
  thread_local Owner owner;
  return owner.queue;
}

void ThreadQueue::OwnerExited() {
  ForgetThreadWindows(GetCurrentThreadId());
  {
    std::lock_guard lock(mutex_);
    ownerGone_ = true;
    for (auto& sent : sent_) sent->done = true;
    sent_.clear();
  }
  sendDone_.notify_all();
}

void ThreadQueue::Wake() {
  if (wakePending_) return;
  wakePending_ = true;
  uint64_t one = 1;
  ssize_t written = write(wakeFd_, &one, sizeof(one));
  (void)written;  // a full counter is still readable: the waiter wakes either way
}

bool ThreadQueue::Post(const MSG& msg, const Window* target) {
  std::lock_guard lock(mutex_);
  if (target && target->closed) return false;
  posted_.push_back(msg);
  posted_.back().time = GetTickCount();
  posted_.back().pt = lastPoint_;
  Wake();
  return true;
}

bool ThreadQueue::PostInput(const MSG& msg, std::wstring text, const Window* target) {
  std::lock_guard lock(mutex_);
  if (target && target->closed) return false;
  input_.push_back({msg, std::move(text)});
  if (input_.back().msg.time == 0) input_.back().msg.time = GetTickCount();
  lastPoint_ = msg.pt;
  Wake();
  return true;
}

LRESULT ThreadQueue::SendAndWait(const std::shared_ptr<Window>& target, UINT message,
                                 WPARAM wParam, LPARAM lParam) {
  auto sent = std::make_shared<SentMessage>(SentMessage{target, message, wParam, lParam});
  std::unique_lock lock(mutex_);
  if (target->closed || ownerGone_) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  sent_.push_back(sent);
  Wake();
  sendDone_.wait(lock, [&] { return sent->done; });
  return sent->result;
}

void ThreadQueue::DeliverSentMessages() {
  for (;;) {
    std::shared_ptr<SentMessage> sent;
    {
      std::lock_guard lock(mutex_);
      if (sent_.empty()) return;
      sent = sent_.front();
      sent_.pop_front();
    }
    LRESULT result = 0;
    if (!sent->target->closed && sent->target->proc) {
      result = sent->target->proc(sent->target->handle, sent->message, sent->wParam,
                                  sent->lParam);
    }
    std::lock_guard lock(mutex_);
    sent->result = result;
    sent->done = true;
    sendDone_.notify_all();
  }
}

void ThreadQueue::PostQuit(int exitCode) {
  std::lock_guard lock(mutex_);
  quitPending_ = true;
  quitCode_ = exitCode;
}

void ThreadQueue::SetPaintPending(HWND window, bool pending) {
  std::lock_guard lock(mutex_);
  auto it = std::find(paint_.begin(), paint_.end(), window);
  if (pending && it == paint_.end()) {
    paint_.push_back(window);
    Wake();
  } else if (!pending && it != paint_.end()) {
    paint_.erase(it);
  }
}

bool ThreadQueue::IsPaintPending(HWND window) {
  std::lock_guard lock(mutex_);
  return std::find(paint_.begin(), paint_.end(), window) != paint_.end();
}

void ThreadQueue::DropWindow(Window& window) {
  HWND handle = window.handle;
  timers_.KillWindowTimers(handle);
  std::deque<std::shared_ptr<SentMessage>> abandoned;
  {
    std::lock_guard lock(mutex_);
    window.closed = true;
    std::erase_if(posted_, [&](const MSG& msg) { return msg.hwnd == handle; });
    std::erase_if(input_, [&](const InputMessage& item) { return item.msg.hwnd == handle; });
    std::erase(paint_, handle);
    // Senders waiting on the window get 0, as for a window that no longer exists.
    for (auto& sent : sent_) {
      if (sent->target.get() != &window) continue;
      sent->done = true;
    }
    std::erase_if(sent_, [&](const auto& sent) { return sent->done; });
  }
  sendDone_.notify_all();
}

std::wstring ThreadQueue::TakeKeyText(const MSG& msg) {
  if (msg.hwnd != keyMessage_.hwnd || msg.message != keyMessage_.message ||
      msg.wParam != keyMessage_.wParam || msg.time != keyMessage_.time) {
    return {};
  }
  keyMessage_ = MSG{};
  return std::exchange(keyText_, {});
}

void ThreadQueue::AddSource(EventSource* source) {
  if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) {
    sources_.push_back(source);
  }
}

void ThreadQueue::RemoveSource(EventSource* source) { std::erase(sources_, source); }

void ThreadQueue::PumpSources() {
  // A pump may add or remove sources: walk a copy.
  auto sources = sources_;
  for (auto* source : sources) {
    if (std::find(sources_.begin(), sources_.end(), source) != sources_.end()) source->Pump();
  }
}

// Posted messages, then input, then WM_QUIT, then WM_PAINT; under mutex_.
bool ThreadQueue::TakeQueued(MSG* msg, const MessageFilter& filter, bool remove) {
  auto posted = std::find_if(posted_.begin(), posted_.end(),
                             [&](const MSG& item) { return filter.Matches(item); });
  if (posted != posted_.end()) {
    *msg = *posted;
    if (remove) posted_.erase(posted);
    return true;
  }
  auto input = std::find_if(input_.begin(), input_.end(),
                            [&](const InputMessage& item) { return filter.Matches(item.msg); });
  if (input != input_.end()) {
    *msg = input->msg;
    if (remove) {
      if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
        keyMessage_ = *msg;
        keyText_ = std::move(input->text);
      }
      input_.erase(input);
    }
    return true;
  }
  // WM_QUIT comes once nothing is posted or queued as input, whatever the filter.
  if (quitPending_ && posted_.empty() && input_.empty()) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0, GetTickCount(), lastPoint_};
    if (remove) quitPending_ = false;
    return true;
  }
  for (HWND window : paint_) {
    MSG probe{window, WM_PAINT, 0, 0, GetTickCount(), lastPoint_};
    if (filter.Matches(probe)) {
      *msg = probe;
      return true;  // stays pending until the window is validated
    }
  }
  return false;
}

bool ThreadQueue::Retrieve(MSG* msg, const MessageFilter& filter, bool remove, bool wait) {
  for (;;) {
    PumpSources();
    DeliverSentMessages();
    {
      std::lock_guard lock(mutex_);
      if (TakeQueued(msg, filter, remove)) return true;
    }
    if (auto timer = timers_.TakeDue(MonotonicNowNanos(), filter, remove)) {
      *msg = *timer;
      msg->pt = lastPoint_;
      return true;
    }
    if (!wait) return false;
    WaitForEvents(filter);
  }
}

void ThreadQueue::WaitForEvents(const MessageFilter& filter) {
  std::vector<pollfd> fds;
  fds.push_back({wakeFd_, POLLIN, 0});
  for (auto* source : sources_) fds.push_back({source->Fd(), POLLIN, 0});
  int timeoutMs = -1;
  if (auto due = timers_.NextDue(filter)) {
    int64_t left = *due - MonotonicNowNanos();
    // Round up so that the timer is due when poll returns.
    timeoutMs = left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(
                                    (left + kNanosPerMilli - 1) / kNanosPerMilli, 0x7FFFFFFF));
  }
  int ready = poll(fds.data(), fds.size(), timeoutMs);
  if (ready < 0 && errno != EINTR) return;
  if (fds[0].revents & POLLIN) {
    std::lock_guard lock(mutex_);
    uint64_t count = 0;
    ssize_t got = read(wakeFd_, &count, sizeof(count));
    (void)got;  // nothing to read only means another reader was faster
    wakePending_ = false;
  }
  // Readable sources are pumped at the top of the next retrieval round.
}

}  // namespace kvplat
