// CSimpleThread: start and stop, a Run that ignores the stop flag, the handle released
// exactly once whichever side gets there first.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "Runtime/Log.h"
#include "Runtime/SimpleThread.h"
#include "internal/utf.h"
#include "support/TempPrefix.h"

namespace {

enum class Mode { HonourStop, IgnoreStop, ReturnAtOnce, DestroyFromInside };

// Shared with the thread, so that a thread the owner let go touches no freed memory.
struct Gate {
  Mode mode = Mode::HonourStop;
  std::atomic<int> runs{0};
  std::atomic<int> returns{0};
  std::atomic<bool> open{false};
  std::atomic<bool> destroyedFromInside{false};
};

class TestThread : public CSimpleThread {
 public:
  explicit TestThread(Mode mode) : gate_(std::make_shared<Gate>()) { gate_->mode = mode; }
  ~TestThread() override { StopThread(INFINITE); }
  Gate& gate() { return *gate_; }

 protected:
  void Run() override {
    std::shared_ptr<Gate> gate = gate_;
    ++gate->runs;
    switch (gate->mode) {
      case Mode::HonourStop:
        while (!stopRequested) Sleep(1);
        break;
      case Mode::IgnoreStop:  // from here on only the gate is touched
        while (!gate->open) Sleep(1);
        break;
      case Mode::ReturnAtOnce:
        break;
      case Mode::DestroyFromInside:
        gate->destroyedFromInside = DestroyThread(INFINITE) && !ThreadHandle();
        break;
    }
    ++gate->returns;
  }

 private:
  std::shared_ptr<Gate> gate_;
};

void WaitFor(const std::atomic<int>& counter, int value) {
  while (counter < value) Sleep(1);
}

// True when the handle no longer names anything: it was released.
bool Released(HANDLE handle) { return WaitForSingleObject(handle, 0) == WAIT_FAILED; }

}  // namespace

TEST(SimpleThread, StartTwiceStartsOneThreadAndStopClears) {
  TestThread thread(Mode::HonourStop);
  ASSERT_TRUE(thread.StartThread());
  HANDLE handle = thread.ThreadHandle();
  DWORD id = thread.ThreadId();
  EXPECT_NE(handle, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(thread.IsRunning());

  EXPECT_TRUE(thread.StartThread());
  EXPECT_EQ(thread.ThreadHandle(), handle);
  EXPECT_EQ(thread.ThreadId(), id);
  WaitFor(thread.gate().runs, 1);

  EXPECT_TRUE(thread.StopThread(INFINITE));
  EXPECT_EQ(thread.gate().runs, 1);
  EXPECT_EQ(thread.gate().returns, 1);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ThreadHandle(), nullptr);
  EXPECT_EQ(thread.ThreadId(), 0u);
  EXPECT_TRUE(Released(handle));

  // A new start clears the stop flag: the new Run keeps running until stopped again.
  ASSERT_TRUE(thread.StartThread());
  WaitFor(thread.gate().runs, 2);
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_TRUE(thread.StopThread(INFINITE));
  EXPECT_EQ(thread.gate().returns, 2);
}

TEST(SimpleThread, StopAfterTheThreadEndedReturnsAtOnce) {
  TestThread thread(Mode::ReturnAtOnce);
  ASSERT_TRUE(thread.StartThread());
  HANDLE handle = thread.ThreadHandle();
  WaitFor(thread.gate().returns, 1);
  while (thread.IsRunning()) Sleep(1);
  EXPECT_EQ(thread.ThreadHandle(), nullptr);
  EXPECT_EQ(thread.ThreadId(), 0u);
  EXPECT_TRUE(Released(handle));
  EXPECT_TRUE(thread.StopThread(INFINITE));
  EXPECT_FALSE(thread.DestroyThread(INFINITE));  // no handle left to wait for
}

TEST(SimpleThread, RunIgnoringTheFlagIsTerminatedAfterTheTimeoutAndLogged) {
  TempPrefix prefix;
  const std::string logPath = prefix.Host("thread.log");
  FileLogger& logger = FileLogger::Instance();
  logger.SetOptions(std::make_unique<LogOptions>());
  ASSERT_TRUE(logger.OpenFile(logPath.c_str()));

  TestThread thread(Mode::IgnoreStop);
  ASSERT_TRUE(thread.StartThread());
  WaitFor(thread.gate().runs, 1);
  HANDLE handle = thread.ThreadHandle();
  DWORD id = thread.ThreadId();
  EXPECT_TRUE(thread.StopThread(100));
  logger.CloseFile();
  logger.SetOptions(nullptr);

  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ThreadHandle(), nullptr);
  EXPECT_EQ(thread.ThreadId(), 0u);
  EXPECT_TRUE(Released(handle));
  std::wstring log = kvplat::Utf16LeToWide(ReadHostFile(logPath));
  std::wstring expected = L"CSimpleThread::DestroyThread线程结束超时 tid:" + std::to_wstring(id) + L" ";
  EXPECT_NE(log.find(expected), std::wstring::npos) << kvplat::WideToUtf8(log);
  EXPECT_EQ(log.find(L"[ERRO]"), 1u);  // after the byte-order mark

  // The thread was let go: it finishes on its own without touching its former owner.
  thread.gate().open = true;
  WaitFor(thread.gate().returns, 1);
}

TEST(SimpleThread, HandleIsReleasedOnceWhenWorkerAndOwnerRace) {
  // Each round lets the worker end while the owner is about to wait, polls or waits.
  for (int round = 0; round < 300; ++round) {
    TestThread thread(Mode::ReturnAtOnce);
    ASSERT_TRUE(thread.StartThread());
    HANDLE handle = thread.ThreadHandle();
    // StopThread reports false when the worker released its handle between the running
    // check and the wait; either way the handle must be gone exactly once.
    if (round % 2)
      thread.StopThread(INFINITE);
    else
      while (thread.IsRunning()) {
      }
    EXPECT_EQ(thread.ThreadHandle(), nullptr);
    EXPECT_EQ(thread.ThreadId(), 0u);
    ASSERT_TRUE(Released(handle)) << round;
    WaitFor(thread.gate().returns, 1);
  }
}

TEST(SimpleThread, DestroyFromTheWorkerItselfDoesNotWaitForItself) {
  TestThread thread(Mode::DestroyFromInside);
  ASSERT_TRUE(thread.StartThread());
  WaitFor(thread.gate().returns, 1);
  EXPECT_TRUE(thread.gate().destroyedFromInside);
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.ThreadHandle(), nullptr);
}
