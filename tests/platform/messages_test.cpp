// The message queue: order across threads and kinds, waking, filters, WM_QUIT, windows
// that are gone, and the display hooks (event sources, input, paint).
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "WindowRecorder.h"
#include "internal/events.h"

namespace {

constexpr UINT kTestMessage = WM_APP + 10;

using Clock = std::chrono::steady_clock;

TEST(MessageQueue, PostsFromSeveralThreadsArriveInEachThreadsOrder) {
  WindowRecorder window;
  constexpr int kThreads = 3;
  constexpr int kPerThread = 400;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        ASSERT_TRUE(PostMessageW(window.Handle(), kTestMessage, t, i));
      }
    });
  }
  int next[kThreads] = {};
  MSG msg;
  for (int received = 0; received < kThreads * kPerThread; ++received) {
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    ASSERT_EQ(msg.message, kTestMessage);
    ASSERT_EQ(msg.hwnd, window.Handle());
    EXPECT_EQ(msg.lParam, next[msg.wParam]++) << "thread " << msg.wParam;
  }
  for (auto& poster : posters) poster.join();
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, BlockedGetMessageWakesOnAPostFromAnotherThread) {
  WindowRecorder window;
  Clock::time_point postedAt;
  std::mutex mutex;
  std::condition_variable woke;
  bool done = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    postedAt = Clock::now();
    PostMessageW(window.Handle(), kTestMessage, 1, 0);
    // Ends the wait even if the first wake-up were lost, so the test fails instead of hanging.
    std::unique_lock lock(mutex);
    if (!woke.wait_for(lock, std::chrono::seconds(3), [&] { return done; })) {
      PostMessageW(window.Handle(), kTestMessage, 2, 0);
    }
  });
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  auto wokeAt = Clock::now();
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  woke.notify_all();
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_LT(wokeAt - postedAt, std::chrono::seconds(1));
  poster.join();
  PumpPending();
}

// Display hooks address windows that can be shown: hidden top-level windows here.
WindowRecorder* NewHiddenWindow() { return new WindowRecorder(nullptr, WS_POPUP); }

TEST(MessageQueue, KeepsTheOrderPostedInputQuitPaintTimer) {
  std::unique_ptr<WindowRecorder> hidden(NewHiddenWindow());
  auto& window = *hidden;
  UINT_PTR timer = SetTimer(window.Handle(), 5, 10, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(25));  // the timer is due
  kvplat::RequestPaint(window.Handle());
  PostQuitMessage(3);
  MSG mouse{window.Handle(), WM_MOUSEMOVE, 0, MAKELONG(4, 5), 0, {4, 5}};
  ASSERT_TRUE(kvplat::QueueInputMessage(mouse));
  PostMessageW(window.Handle(), kTestMessage, 0, 0);

  std::vector<UINT> order;
  MSG msg;
  while (order.size() < 5 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    order.push_back(msg.message);
    if (msg.message == WM_QUIT) {
      EXPECT_EQ(msg.wParam, 3u);
      continue;
    }
    DispatchMessageW(&msg);  // WM_PAINT reaches DefWindowProcW, which validates
  }
  EXPECT_EQ(order, (std::vector<UINT>{kTestMessage, WM_MOUSEMOVE, WM_QUIT, WM_PAINT, WM_TIMER}));
  EXPECT_FALSE(kvplat::IsPaintPending(window.Handle()));
  KillTimer(window.Handle(), timer);
}

TEST(MessageQueue, PaintStaysPendingUntilValidated) {
  std::unique_ptr<WindowRecorder> hidden(NewHiddenWindow());
  auto& window = *hidden;
  kvplat::RequestPaint(window.Handle());
  MSG msg;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
  }
  kvplat::ValidatePaint(window.Handle());
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, SendFromAnotherThreadRunsInsideTheOwnersRetrieval) {
  WindowRecorder window;
  LRESULT sendResult = -1;
  std::thread sender([&] {
    sendResult = SendMessageW(window.Handle(), WM_NULL, 7, 0);
    PostMessageW(window.Handle(), kTestMessage, 0, 0);
  });
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  sender.join();
  EXPECT_EQ(msg.message, kTestMessage);
  // The sent message was handled by the procedure, never returned by GetMessageW.
  ASSERT_EQ(window.Messages().size(), 3u);  // WM_NCCREATE, WM_CREATE, the sent one
  EXPECT_EQ(window.Messages()[2].message, static_cast<UINT>(WM_NULL));
  EXPECT_EQ(window.Messages()[2].wParam, 7u);
  EXPECT_EQ(sendResult, 0);
}

TEST(MessageQueue, FiltersSelectByWindowAndRange) {
  WindowRecorder first;
  WindowRecorder second;
  WindowRecorder child(first.Handle(), WS_CHILD);
  PostMessageW(first.Handle(), WM_USER + 1, 0, 0);
  PostMessageW(second.Handle(), WM_USER + 2, 0, 0);
  PostMessageW(child.Handle(), WM_USER + 3, 0, 0);
  PostMessageW(nullptr, WM_USER + 4, 0, 0);  // a thread message

  struct Case {
    HWND window;
    UINT min, max;
    UINT expected;  // 0: nothing
  } cases[] = {
      {second.Handle(), 0, 0, WM_USER + 2},
      {reinterpret_cast<HWND>(-1), 0, 0, WM_USER + 4},
      {nullptr, WM_USER + 3, WM_USER + 3, WM_USER + 3},
      {first.Handle(), 0, 0, WM_USER + 1},
      {first.Handle(), 0, 0, 0},  // the child's message went above
      {nullptr, WM_USER + 10, WM_USER + 20, 0},
  };
  for (const auto& item : cases) {
    MSG msg{};
    // Looking without removing leaves the message for the real retrieval.
    BOOL peeked = PeekMessageW(&msg, item.window, item.min, item.max, PM_NOREMOVE);
    EXPECT_EQ(peeked, item.expected != 0);
    BOOL got = PeekMessageW(&msg, item.window, item.min, item.max, PM_REMOVE);
    EXPECT_EQ(got, item.expected != 0);
    if (got) {
      EXPECT_EQ(msg.message, item.expected);
    }
  }
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, QuitComesAfterThePostedMessagesAndEndsTheLoop) {
  WindowRecorder window;
  for (int i = 0; i < 3; ++i) PostMessageW(window.Handle(), kTestMessage, i, 0);
  PostQuitMessage(9);
  PostMessageW(window.Handle(), kTestMessage, 3, 0);  // posted after the quit request
  MSG msg;
  int dispatched = 0;
  BOOL result;
  while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    DispatchMessageW(&msg);
    ++dispatched;
  }
  EXPECT_EQ(result, FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_EQ(dispatched, 4);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // the quit was taken
}

TEST(MessageQueue, WindowsThatAreGoneGetNothing) {
  WindowRecorder window;
  HWND handle = window.Handle();
  PostMessageW(handle, kTestMessage, 0, 0);
  SetTimer(handle, 1, 10, nullptr);
  ASSERT_TRUE(DestroyWindow(handle));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // queued post and timer gone
  EXPECT_FALSE(IsWindow(handle));
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(handle, kTestMessage, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(SendMessageW(handle, kTestMessage, 0, 0), 0);
  EXPECT_FALSE(DestroyWindow(handle));
  EXPECT_EQ(GetMessageW(&msg, handle, 0, 0), -1);
  EXPECT_FALSE(kvplat::QueueInputMessage(MSG{handle, WM_MOUSEMOVE, 0, 0, 0, {}}));
}

TEST(MessageQueue, MessageOnlyWindowsTakeNoDisplayInput) {
  WindowRecorder window;
  EXPECT_FALSE(kvplat::QueueInputMessage(MSG{window.Handle(), WM_MOUSEMOVE, 0, 0, 0, {}}));
  kvplat::RequestPaint(window.Handle());
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, WindowsOfAFinishedThreadAreGoneAndReleaseTheirSenders) {
  std::unique_ptr<WindowRecorder> leftBehind;  // its thread ends without destroying it
  std::thread([&] { leftBehind = std::make_unique<WindowRecorder>(); }).join();
  HWND left = leftBehind->Handle();
  ASSERT_NE(left, nullptr);
  EXPECT_FALSE(IsWindow(left));
  EXPECT_FALSE(PostMessageW(left, kTestMessage, 0, 0));

  // A sender waiting on a thread that ends without retrieving gets 0 instead of waiting
  // forever.
  HWND busy = nullptr;
  std::unique_ptr<WindowRecorder> busyRecorder;
  std::mutex mutex;
  std::condition_variable created;
  std::thread owner([&] {
    auto window = std::make_unique<WindowRecorder>();
    {
      std::lock_guard lock(mutex);
      busy = window->Handle();
      busyRecorder = std::move(window);
    }
    created.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  {
    std::unique_lock lock(mutex);
    created.wait(lock, [&] { return busy != nullptr; });
  }
  EXPECT_EQ(SendMessageW(busy, kTestMessage, 0, 0), 0);
  owner.join();
  EXPECT_FALSE(IsWindow(busy));
}

// A display stand-in: a pipe whose bytes become mouse messages for a window, and whose
// key byte 'k' becomes a key press that produces the text "hé".
class PipeSource : public kvplat::EventSource {
 public:
  explicit PipeSource(HWND window) : window_(window) {
    EXPECT_EQ(pipe(fds_), 0);
    kvplat::AddEventSource(this);
  }
  ~PipeSource() override {
    kvplat::RemoveEventSource(this);
    close(fds_[0]);
    close(fds_[1]);
  }
  int Fd() const override { return fds_[0]; }
  void Pump() override {
    ++pumps;
    pollfd pfd{fds_[0], POLLIN, 0};
    while (poll(&pfd, 1, 0) == 1) {
      char byte = 0;
      if (read(fds_[0], &byte, 1) != 1) return;
      if (byte == 'k') {
        kvplat::QueueInputMessage(MSG{window_, WM_KEYDOWN, 'K', 1, 0, {}}, L"hé");
      } else {
        kvplat::QueueInputMessage(MSG{window_, WM_MOUSEMOVE, 0, byte, 0, {}});
      }
    }
  }
  void Write(char byte) { ASSERT_EQ(write(fds_[1], &byte, 1), 1); }

  std::atomic<int> pumps{0};

 private:
  HWND window_;
  int fds_[2] = {-1, -1};
};

TEST(MessageQueue, DisplayEventsWakeTheWaitAndComeAsInput) {
  std::unique_ptr<WindowRecorder> hidden(NewHiddenWindow());
  auto& window = *hidden;
  PipeSource source(window.Handle());
  std::thread display([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    source.Write('m');
  });
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  display.join();
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(msg.lParam, 'm');
  EXPECT_GE(source.pumps.load(), 2);
}

TEST(MessageQueue, WaitWithAFilterSleepsThroughTimersItCannotReturn) {
  std::unique_ptr<WindowRecorder> hidden(NewHiddenWindow());
  auto& window = *hidden;
  PipeSource source(window.Handle());  // counts the rounds of the wait
  UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // due, but filtered out
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PostMessageW(window.Handle(), kTestMessage, 0, 0);
  });
  source.pumps = 0;
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, window.Handle(), 0, 0), TRUE);
  poster.join();
  EXPECT_EQ(msg.message, kTestMessage);
  EXPECT_LE(source.pumps.load(), 3);  // woken by the post, not spinning on the timer
  KillTimer(nullptr, timer);
}

TEST(MessageQueue, TranslatingAKeyPostsTheCharactersItProduced) {
  std::unique_ptr<WindowRecorder> hidden(NewHiddenWindow());
  auto& window = *hidden;
  PipeSource source(window.Handle());
  source.Write('k');
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  ASSERT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_TRUE(TranslateMessage(&msg));
  DispatchMessageW(&msg);
  PumpPending();
  std::vector<WPARAM> chars;
  for (const auto& item : window.Messages()) {
    if (item.message == WM_CHAR) chars.push_back(item.wParam);
  }
  EXPECT_EQ(chars, (std::vector<WPARAM>{L'h', L'é'}));
  // The same message translated again produces nothing more.
  EXPECT_TRUE(TranslateMessage(&msg));
  EXPECT_EQ(PumpPending(), 0);
}

}  // namespace
