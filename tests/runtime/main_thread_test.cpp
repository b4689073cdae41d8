// The main-thread dispatch: order across producer threads, one wake-up per non-empty
// period, the 50 ms drain budget, shutdown, and the monotonic clock.
#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <thread>
#include <vector>

#include "Runtime/MainThread.h"
#include "Runtime/MonotonicClock.h"

namespace {

// A clock whose system time, counter and tick count move only when told.
class FakeClock : public IClockSource {
 public:
  double WallMilliseconds() override { return wall; }
  bool CounterFrequency(LONGLONG* frequency) override {
    *frequency = 1000000;  // microseconds
    return true;
  }
  LONGLONG Counter() override { return static_cast<LONGLONG>(counterMs * 1000); }
  DWORD TickCount() override { return static_cast<DWORD>(counterMs); }
  void BeginFineResolution() override {}
  void EndFineResolution() override {}

  void Advance(double ms) {
    wall += ms;
    counterMs += ms;
  }

  double wall = 1.7e12;
  double counterMs = 5000;
};

// Objects a task holds, counted to see that dropped tasks release them.
struct Counted : CRefThreadSafeBase<Counted> {
  Counted() { ++alive; }
  ~Counted() override { --alive; }
  static inline int alive = 0;
};

using RecordTask = MainThreadTask2<int, int, int, int>;
using HoldTask = MainThreadTask2<CRefPtr<Counted>, const CRefPtr<Counted>&, int, int>;

std::mutex logMutex;
std::vector<int> ranTickets;
std::vector<DWORD> ranOnThreads;
FakeClock* fakeClock = nullptr;

void Record(int ticket, int advanceMs) {
  std::lock_guard lock(logMutex);
  ranTickets.push_back(ticket);
  ranOnThreads.push_back(GetCurrentThreadId());
  if (fakeClock) fakeClock->Advance(advanceMs);
}

void Post(int ticket, int advanceMs = 0) {
  CRefPtr<MainThreadTaskBase> task(new RecordTask(Record, ticket, advanceMs));
  PostToMainThread(InvokeTask, task);
}

void PostFromTask(int ticket, int) {
  Record(ticket, 0);
  Post(ticket + 1);
}

void Unexpected(const CRefPtr<Counted>&, int) { ADD_FAILURE() << "a dropped task ran"; }

UINT FiredMessage() { return RegisterWindowMessageW(L"com.kavro.MainThreadFired"); }

// Takes every wake-up message waiting now and returns how many there were; then, when
// asked and there was one, dispatches one (a drain pass).
int TakeWakeUps(bool dispatchOne) {
  int count = 0;
  MSG msg, first{};
  while (PeekMessageW(&msg, nullptr, FiredMessage(), FiredMessage(), PM_REMOVE)) {
    if (count++ == 0) first = msg;
  }
  if (count > 0 && dispatchOne) DispatchMessageW(&first);
  return count;
}

class MainThreadDispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ranTickets.clear();
    ranOnThreads.clear();
    InitMainThreadDispatch();
  }
  void TearDown() override {
    ShutdownMainThreadDispatch();
    TakeWakeUps(false);
    SetMonotonicClockSource(nullptr);
    fakeClock = nullptr;
  }
};

TEST_F(MainThreadDispatch, TasksFromSeveralThreadsRunOnTheMainThreadInPostingOrder) {
  constexpr int kThreads = 3;
  constexpr int kPerThread = 200;
  std::mutex postOrder;  // makes the ticket order the order of the appends
  int nextTicket = 0;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&] {
      for (int i = 0; i < kPerThread; ++i) {
        std::lock_guard lock(postOrder);
        Post(nextTicket++);
      }
    });
  }
  for (auto& producer : producers) producer.join();
  EXPECT_TRUE(ranTickets.empty());  // nothing runs before the main thread drains

  EXPECT_EQ(TakeWakeUps(true), 1);
  ASSERT_EQ(ranTickets.size(), static_cast<size_t>(kThreads * kPerThread));
  for (int i = 0; i < kThreads * kPerThread; ++i) ASSERT_EQ(ranTickets[i], i);
  for (DWORD thread : ranOnThreads) ASSERT_EQ(thread, GetCurrentThreadId());
  // The queue is empty again: the next post wakes the loop once more.
  Post(9999);
  EXPECT_EQ(TakeWakeUps(true), 1);
  EXPECT_EQ(ranTickets.back(), 9999);
}

TEST_F(MainThreadDispatch, PassOverTheBudgetYieldsAndResumesInOrder) {
  FakeClock clock;
  fakeClock = &clock;
  SetMonotonicClockSource(&clock);
  for (int ticket = 0; ticket < 5; ++ticket) Post(ticket, 30);

  // 30 ms, then 60 ms: the second task crosses the budget and the pass stops there.
  EXPECT_EQ(TakeWakeUps(true), 1);
  EXPECT_EQ(ranTickets, (std::vector<int>{0, 1}));
  EXPECT_EQ(TakeWakeUps(true), 1);  // posted again by the pass that yielded
  EXPECT_EQ(ranTickets, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(TakeWakeUps(true), 1);
  EXPECT_EQ(ranTickets, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(TakeWakeUps(false), 0);  // the last pass emptied the queue within budget
}

TEST_F(MainThreadDispatch, TaskPostedFromATaskRunsInTheSamePass) {
  CRefPtr<MainThreadTaskBase> task(new RecordTask(PostFromTask, 1, 0));
  PostToMainThread(InvokeTask, task);
  task.Reset();
  EXPECT_EQ(TakeWakeUps(true), 1);
  EXPECT_EQ(ranTickets, (std::vector<int>{1, 2}));
  // The inner post found the queue empty and sent its own wake-up, which finds nothing.
  EXPECT_EQ(TakeWakeUps(true), 1);
  EXPECT_EQ(ranTickets.size(), 2u);
}

TEST_F(MainThreadDispatch, ShutdownDropsQueuedTasksAndReleasesWhatTheyHold) {
  {
    CRefPtr<Counted> shared(new Counted);
    for (int i = 0; i < 3; ++i) {
      CRefPtr<MainThreadTaskBase> task(new HoldTask(Unexpected, shared, i));
      PostToMainThread(InvokeTask, task);
    }
    EXPECT_EQ(shared->RefCount(), 4);
  }
  EXPECT_EQ(Counted::alive, 1);  // held by the queued tasks only
  ShutdownMainThreadDispatch();
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_EQ(TakeWakeUps(false), 0);  // the wake-up went with the window
}

TEST_F(MainThreadDispatch, TasksPostedBeforeInitialisationRunOnceItIsDone) {
  ShutdownMainThreadDispatch();
  Post(1);
  Post(2);
  EXPECT_EQ(TakeWakeUps(false), 0);  // no window to wake yet
  InitMainThreadDispatch();
  EXPECT_EQ(TakeWakeUps(true), 1);
  EXPECT_EQ(ranTickets, (std::vector<int>{1, 2}));
}

TEST(MonotonicSeconds, NeverDecreasesAndKeepsPaceWhenTheSystemTimeSteps) {
  struct Case {
    const char* name;
    double stepMs;
    double minAdvanceMs;  // over the 3 s after the step, at least this much elapses
  } cases[] = {
      {"no step", 0, 2999},
      {"forward 10 s", 10000, 2999},
      {"back 1 s (held until caught up)", -1000, 1999},
      {"back 1 hour", -3600000, 2999},
  };
  for (const auto& item : cases) {
    FakeClock clock;
    CMonotonicClock monotonic(clock);
    double previous = monotonic.Seconds();
    EXPECT_NEAR(previous, clock.wall / 1000, 0.001) << item.name;
    for (int i = 0; i < 10; ++i) {
      clock.Advance(10);
      double now = monotonic.Seconds();
      EXPECT_GE(now, previous) << item.name;
      previous = now;
    }
    clock.wall += item.stepMs;
    double atStep = previous;
    for (int i = 0; i < 300; ++i) {
      clock.Advance(10);
      double now = monotonic.Seconds();
      ASSERT_GE(now, previous) << item.name << " after " << i;
      previous = now;
    }
    EXPECT_GE((previous - atStep) * 1000, item.minAdvanceMs) << item.name;
  }
}

TEST(MonotonicSeconds, FollowsTheSystemTimeWithoutACounter) {
  class NoCounter : public FakeClock {
   public:
    bool CounterFrequency(LONGLONG*) override { return false; }
  } clock;
  CMonotonicClock monotonic(clock);
  EXPECT_DOUBLE_EQ(monotonic.Seconds(), clock.wall / 1000);
  clock.wall -= 500;
  EXPECT_DOUBLE_EQ(monotonic.Seconds(), (clock.wall + 500) / 1000);  // held, not backwards
  clock.wall += 1500;
  EXPECT_DOUBLE_EQ(monotonic.Seconds(), clock.wall / 1000);
}

}  // namespace
