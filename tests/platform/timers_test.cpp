// Timers with and without a window: ids, periods, KillTimer, callbacks through
// DispatchMessageW.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

#include "WindowRecorder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<UINT_PTR> callbackIds;
std::vector<Clock::time_point> callbackTimes;

void CALLBACK RecordTick(HWND window, UINT message, UINT_PTR id, DWORD) {
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(message, static_cast<UINT>(WM_TIMER));
  callbackIds.push_back(id);
  callbackTimes.push_back(Clock::now());
}

// Runs the loop for a while, dispatching whatever arrives.
void RunLoopFor(std::chrono::milliseconds span) {
  auto end = Clock::now() + span;
  MSG msg;
  while (Clock::now() < end) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

class Timers : public ::testing::Test {
 protected:
  void SetUp() override {
    callbackIds.clear();
    callbackTimes.clear();
  }
};

TEST_F(Timers, ThreadTimerCallsItsProcedureEveryPeriod) {
  UINT_PTR id = SetTimer(nullptr, 508, 40, RecordTick);
  ASSERT_NE(id, 0u);
  auto started = Clock::now();
  RunLoopFor(std::chrono::milliseconds(300));
  ASSERT_TRUE(KillTimer(nullptr, id));

  ASSERT_GE(callbackIds.size(), 3u);
  for (UINT_PTR tick : callbackIds) EXPECT_EQ(tick, id);
  // Never sooner than the period, counted from the call and from the previous tick.
  EXPECT_GE(callbackTimes[0] - started, std::chrono::milliseconds(39));
  for (size_t i = 1; i < callbackTimes.size(); ++i) {
    EXPECT_GE(callbackTimes[i] - callbackTimes[i - 1], std::chrono::milliseconds(39));
  }
}

TEST_F(Timers, ThreadTimerIdsAreChosenBySystemUnlessRestarting) {
  UINT_PTR first = SetTimer(nullptr, 100, 1000, RecordTick);
  UINT_PTR second = SetTimer(nullptr, 100, 1000, RecordTick);
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  // Passing a live thread timer's id restarts that timer.
  EXPECT_EQ(SetTimer(nullptr, first, 500, RecordTick), first);
  EXPECT_TRUE(KillTimer(nullptr, first));
  EXPECT_TRUE(KillTimer(nullptr, second));
  EXPECT_FALSE(KillTimer(nullptr, second));
}

TEST_F(Timers, KilledTimerFiresNoMore) {
  UINT_PTR id = SetTimer(nullptr, 0, 20, RecordTick);
  RunLoopFor(std::chrono::milliseconds(70));
  ASSERT_FALSE(callbackIds.empty());
  ASSERT_TRUE(KillTimer(nullptr, id));
  callbackIds.clear();
  RunLoopFor(std::chrono::milliseconds(80));
  EXPECT_TRUE(callbackIds.empty());
}

TEST_F(Timers, WindowTimerUsesTheGivenIdAndReachesTheWindow) {
  WindowRecorder window;
  EXPECT_EQ(SetTimer(window.Handle(), 2, 20, nullptr), 2u);
  EXPECT_EQ(SetTimer(window.Handle(), 2, 20, nullptr), 2u);  // the same timer, restarted
  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);  // waits for the timer
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.hwnd, window.Handle());
  EXPECT_EQ(msg.wParam, 2u);
  DispatchMessageW(&msg);
  EXPECT_EQ(window.Messages().back().message, static_cast<UINT>(WM_TIMER));
  // Retrieval started the next period: nothing is due right now.
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(KillTimer(window.Handle(), 2));
  EXPECT_FALSE(KillTimer(window.Handle(), 2));
}

TEST_F(Timers, TimerOfAWindowOfAnotherThreadIsRefused) {
  WindowRecorder window;
  UINT_PTR result = 1;
  std::thread([&] { result = SetTimer(window.Handle(), 1, 10, nullptr); }).join();
  EXPECT_EQ(result, 0u);
}

TEST_F(Timers, PostedTimerMessageCallsOnlyLiveTimerProcedures) {
  UINT_PTR id = SetTimer(nullptr, 0, 100000, RecordTick);
  MSG forged{nullptr, WM_TIMER, id + 1, reinterpret_cast<LPARAM>(&RecordTick), 0, {}};
  DispatchMessageW(&forged);
  EXPECT_TRUE(callbackIds.empty());
  forged.wParam = id;
  DispatchMessageW(&forged);
  EXPECT_EQ(callbackIds, std::vector<UINT_PTR>{id});
  KillTimer(nullptr, id);
  DispatchMessageW(&forged);
  EXPECT_EQ(callbackIds.size(), 1u);
}

}  // namespace
