// Throughput of the main-thread dispatch: two producer threads post tasks while the main
// thread runs a message loop that drains them. Reports tasks per second and how many
// wake-up messages the loop saw (one per non-empty period).
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "Runtime/MainThread.h"

namespace {

std::atomic<long> ran{0};
long wakeUps = 0;

void Count(int, int) { ran.fetch_add(1, std::memory_order_relaxed); }

void Produce(int tasks) {
  for (int i = 0; i < tasks; ++i) {
    CRefPtr<MainThreadTaskBase> task(new MainThreadTask2<int, int, int, int>(Count, i, 0));
    PostToMainThread(InvokeTask, task);
  }
}

void RunOnce(int tasksPerProducer) {
  ran = 0;
  wakeUps = 0;
  const long total = 2L * tasksPerProducer;
  UINT fired = RegisterWindowMessageW(L"com.kavro.MainThreadFired");
  auto start = std::chrono::steady_clock::now();
  std::thread first(Produce, tasksPerProducer);
  std::thread second(Produce, tasksPerProducer);
  MSG msg;
  while (ran.load(std::memory_order_relaxed) < total && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == fired) ++wakeUps;
    DispatchMessageW(&msg);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  first.join();
  second.join();
  std::printf("%9ld tasks from 2 threads: %8.3f s, %12.0f tasks/s, %7ld wake-up messages\n",
              total, seconds, static_cast<double>(total) / seconds, wakeUps);
}

}  // namespace

int main() {
  InitMainThreadDispatch();
  for (int tasks : {10000, 100000, 1000000}) RunOnce(tasks);
  ShutdownMainThreadDispatch();
  return 0;
}
