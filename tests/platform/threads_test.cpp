// Thread handles: start, exit codes, waits, early close, and the stand-in for termination.
#include <gtest/gtest.h>
#include <process.h>
#include <windows.h>

#include <atomic>
#include <memory>

namespace {

// What a test thread shares with the test; owned jointly so a thread that outlives its
// handle never touches freed memory.
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<bool> finished{false};
  std::atomic<DWORD> seenId{0};
  unsigned result = 0;
};

unsigned WINAPI WaitAtGate(void* raw) {
  auto gate = *static_cast<std::shared_ptr<Gate>*>(raw);
  delete static_cast<std::shared_ptr<Gate>*>(raw);
  gate->seenId = GetCurrentThreadId();
  while (!gate->open) Sleep(1);
  gate->finished = true;
  return gate->result;
}

HANDLE StartAtGate(const std::shared_ptr<Gate>& gate, unsigned* id = nullptr) {
  unsigned ignored = 0;
  auto handle = _beginthreadex(nullptr, 0, WaitAtGate, new std::shared_ptr<Gate>(gate), 0,
                               id ? id : &ignored);
  return reinterpret_cast<HANDLE>(handle);
}

void WaitUntil(const std::atomic<bool>& flag) {
  while (!flag) Sleep(1);
}

}  // namespace

TEST(Threads, ExitCodeAndWaitFollowTheThread) {
  auto gate = std::make_shared<Gate>();
  gate->result = 42;
  unsigned id = 0;
  HANDLE thread = StartAtGate(gate, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());

  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);

  gate->open = true;
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(gate->seenId.load(), id);  // the id handed out is the thread's own
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled

  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Threads, ClosingTheHandleEarlyLeavesTheThreadRunning) {
  auto gate = std::make_shared<Gate>();
  HANDLE thread = StartAtGate(gate);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  gate->open = true;
  WaitUntil(gate->finished);
}

TEST(Threads, TerminateEndsTheHandleAndLetsTheCodeFinish) {
  auto gate = std::make_shared<Gate>();
  gate->result = 42;
  HANDLE thread = StartAtGate(gate);
  ASSERT_NE(thread, nullptr);

  EXPECT_TRUE(TerminateThread(thread, 7));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // waiters are released at once
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);

  // The thread's own return later does not overwrite the recorded end.
  gate->open = true;
  WaitUntil(gate->finished);
  Sleep(5);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(thread));
}
