// The installer's start and stop: the game identifier, the runtime, the message loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "Http/HttpChannels.h"
#include "InstallerApp.h"
#include "Runtime/MainThread.h"

namespace {

TEST(InstallerApp, GameIdComesFromTheLeadingNumber) {
  struct Case {
    const wchar_t* commandLine;
    WORD gameId;
  } cases[] = {
      {L"", 0},          {L"0", 0},       {L"abc", 0},        {L"12", 12},
      {L"70000", 4464},  {L"-1", 65535},  {L"12 abc", 12},    {L"  \t+42x", 42},
      {L"\"12\"", 0},    {L"99999999999", 65535},  // saturates at INT_MAX like _wtoi
      {L"-99999999999", 0},                       // INT_MIN, truncated
  };
  for (const auto& item : cases) {
    EXPECT_EQ(ParseGameId(item.commandLine), item.gameId) << item.commandLine;
  }
}

TEST(InstallerApp, EmptyCommandLineLeavesTheGameIdAlone) {
  InstallerApp app;
  PrepareInstaller(app, L"");
  EXPECT_EQ(app.gameId, 0);
  PrepareInstaller(app, L"70000");
  EXPECT_EQ(app.gameId, 4464);
}

int taskRuns = 0;
void CountRun(int, int) { ++taskRuns; }

void PostCountingTask() {
  CRefPtr<MainThreadTaskBase> task(new MainThreadTask2<int, int, int, int>(CountRun, 0, 0));
  PostToMainThread(InvokeTask, task);
}

void CALLBACK QuitWithSeven(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  PostQuitMessage(7);
}

// The whole life on one thread, as the program runs it: start, loop, stop.
TEST(InstallerApp, RuntimeStartsRunsTheLoopAndStops) {
  InstallerApp app;
  int windowStandIn = 0;
  auto* mainWindow = reinterpret_cast<CMainDlg*>(&windowStandIn);
  EXPECT_TRUE(StartRuntime(app, mainWindow));
  EXPECT_EQ(app.mainWindow, mainWindow);
  ASSERT_NE(app.keepAliveTimer, 0u);
  EXPECT_NE(CommandManager(), nullptr);
  EXPECT_NE(DownloadManager(), nullptr);

  // Tasks from a worker run on this thread while the loop runs; a timer ends the loop.
  std::thread([] { PostCountingTask(); }).join();
  SetTimer(nullptr, 0, 50, QuitWithSeven);
  EXPECT_EQ(RunMessageLoop(), 7u);
  EXPECT_EQ(taskRuns, 1);

  PostCountingTask();  // still queued when the runtime stops: dropped
  UINT_PTR keepAlive = app.keepAliveTimer;
  EXPECT_TRUE(StopRuntime(app));
  EXPECT_EQ(app.mainWindow, nullptr);
  EXPECT_EQ(app.keepAliveTimer, 0u);
  EXPECT_FALSE(KillTimer(nullptr, keepAlive));  // already killed
  EXPECT_EQ(CommandManager(), nullptr);
  EXPECT_EQ(DownloadManager(), nullptr);
  PostQuitMessage(0);
  EXPECT_EQ(RunMessageLoop(), 0u);
  EXPECT_EQ(taskRuns, 1);
}

}  // namespace
