// The updater's message-only helper window: its class name counter and its procedure.
#include <gtest/gtest.h>

#include <cstdlib>

#include <windows.h>

#include "Updater/Updater.h"
#include "support/TempPrefix.h"
#include "updater/RecordingListener.h"

namespace {

std::wstring HelperName(int number) { return L"_UPDATE_MODULE_HELPER_WINDOW_KAVRO" + std::to_wstring(number); }

// The counter is process-wide, so the check runs in a fresh process of its own.
TEST(UpdaterHelperWindow, ClassNamesCountFromOneInAProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TempPrefix prefix;
        RecordingListener listener;
        CUpdater first(L"C:\\work", &listener);
        CUpdater second(L"C:\\work", &listener);
        first.Start();
        second.Start();
        const bool named = first.HelperClassName() == HelperName(1) && second.HelperClassName() == HelperName(2);
        const bool windows = IsWindow(first.HelperWindow()) && IsWindow(second.HelperWindow()) &&
                             first.HelperWindow() != second.HelperWindow();
        first.Stop();
        CUpdater third(L"C:\\work", &listener);
        third.Start();
        std::exit(named && windows && third.HelperClassName() == HelperName(3) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A class of that name already exists: the updater goes on without a helper window, and
// the events of its requests, which have nowhere to go, are dropped.
TEST(UpdaterHelperWindow, StartSucceedsWithoutHelperWindowWhenItsClassIsTaken) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TempPrefix prefix;
        const std::wstring taken = HelperName(1);
        WNDCLASSW other = {};
        other.lpfnWndProc = DefWindowProcW;
        other.hInstance = GetModuleHandleW(nullptr);
        other.lpszClassName = taken.c_str();
        RegisterClassW(&other);
        RecordingListener listener;
        CUpdater updater(L"C:\\work", &listener);
        const bool started = updater.Start() == TRUE;
        const bool windowless = updater.HelperWindow() == nullptr && updater.HelperClassName() == taken;
        CUpdater::OnPackageHttpDone(reinterpret_cast<UINT_PTR>(updater.HelperWindow()), kErrOk, 0);
        updater.Stop();
        std::exit(started && windowless && listener.events.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(UpdaterHelperWindow, ProcedureSwallowsItsReservedMessages) {
  TempPrefix prefix;
  RecordingListener listener;
  CUpdater updater(L"C:\\work", &listener);
  ASSERT_TRUE(updater.Start());
  HWND helper = updater.HelperWindow();
  ASSERT_NE(helper, nullptr);
  for (UINT message = 2027; message <= 2031; ++message) EXPECT_EQ(SendMessageW(helper, message, 1, 1), 0);
  EXPECT_EQ(SendMessageW(helper, WM_TIMER, 1, 0), 0);
  updater.Stop();
  EXPECT_FALSE(IsWindow(helper));
  EXPECT_TRUE(listener.events.empty());
}

}  // namespace
