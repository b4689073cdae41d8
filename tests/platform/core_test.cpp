// The platform core: drive map, handles, last error, UTF conversions, locks and clocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "internal/drivemap.h"
#include "internal/errors.h"
#include "internal/handles.h"
#include "internal/utf.h"
#include "support/TempPrefix.h"

using kvplat::ToHostPath;
using kvplat::ToWindowsPath;

TEST(DriveMap, MapsDrivesAndSeparators) {
  TempPrefix prefix;
  const std::string c = prefix.Root() + "/drive_c";
  struct Case {
    const wchar_t* windows;
    std::string host;
  } cases[] = {
      {L"C:\\Kavro网络\\KavroCorvix", c + "/Kavro网络/KavroCorvix"},
      {L"c:/ProgramData/x.ini", c + "/ProgramData/x.ini"},
      {L"C:\\", c},
      {L"Z:\\usr\\bin", "/usr/bin"},
      {L"z:", "/"},
      {L"D:\\Games", prefix.Root() + "/drive_d/Games"},
      {L"sub\\file.txt", "sub/file.txt"},
      {L"\\tmp\\x", "/tmp/x"},
  };
  for (const auto& item : cases) EXPECT_EQ(ToHostPath(item.windows), item.host) << item.host;
}

TEST(DriveMap, HostPathsGetWindowsNames) {
  TempPrefix prefix;
  prefix.AddDrive('d');
  EXPECT_EQ(ToWindowsPath(prefix.Root() + "/drive_c/a/b.exe"), L"C:\\a\\b.exe");
  EXPECT_EQ(ToWindowsPath(prefix.Root() + "/drive_d"), L"D:\\");
  EXPECT_EQ(ToWindowsPath("/usr/bin/env"), L"Z:\\usr\\bin\\env");
  // A folder that only looks like a drive folder is not one.
  std::wstring expected = L"Z:" + kvplat::Utf8ToWide(prefix.Root()) + L"/drive_cx/f";
  for (auto& ch : expected)
    if (ch == L'/') ch = L'\\';
  EXPECT_EQ(ToWindowsPath(prefix.Root() + "/drive_cx/f"), expected);
}

TEST(DriveMap, DrivesExistOnlyWithTheirFolders) {
  TempPrefix prefix;
  EXPECT_FALSE(kvplat::DriveRoot(L'C').empty());
  EXPECT_TRUE(kvplat::DriveRoot(L'D').empty());
  prefix.AddDrive('d');
  EXPECT_EQ(kvplat::DriveRoot(L'd'), prefix.Root() + "/drive_d");
  EXPECT_EQ(kvplat::DriveRoot(L'Z'), "/");
}

TEST(Errors, ErrnoMapsToWindowsNumbers) {
  TempPrefix prefix;
  EXPECT_EQ(kvplat::ErrorFromErrno(EACCES), 5u);
  EXPECT_EQ(kvplat::ErrorFromErrno(ENOSPC), 112u);
  EXPECT_EQ(kvplat::ErrorFromErrnoForPath(ENOENT, prefix.Root() + "/drive_c/missing.txt"), 2u);
  EXPECT_EQ(kvplat::ErrorFromErrnoForPath(ENOENT, prefix.Root() + "/drive_c/nofolder/x.txt"), 3u);
}

TEST(Errors, LastErrorIsPerThread) {
  SetLastError(183);
  std::thread([] {
    EXPECT_EQ(GetLastError(), 0u);
    SetLastError(5);
  }).join();
  EXPECT_EQ(GetLastError(), 183u);
}

TEST(Handles, CloseTwiceFailsAndWaitOnSignal) {
  auto signal = std::make_shared<kvplat::SignalObject>();
  HANDLE handle = kvplat::RegisterHandle(signal);
  EXPECT_EQ(WaitForSingleObject(handle, 10), WAIT_TIMEOUT);
  std::thread waker([signal] { signal->Signal(); });
  EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
  waker.join();
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
}

TEST(Utf, InvalidInputIsReplacedNotDropped) {
  EXPECT_EQ(kvplat::Utf8ToWide("\xE7\xBD\x91"), L"网");
  EXPECT_EQ(kvplat::Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_EQ(kvplat::Utf8ToWide("a\xE7\xBD"), L"a\uFFFD");
  std::wstring astral(1, static_cast<wchar_t>(0x1F600));
  EXPECT_EQ(kvplat::Utf16LeToWide(kvplat::WideToUtf16Le(astral)), astral);
  EXPECT_EQ(kvplat::WideToUtf16Le(L"A网"), std::string("A\0\x51\x7F", 4));
}

TEST(Sync, CriticalSectionIsRecursiveAndExcludesOthers) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  bool otherGot = true;
  std::thread([&] { otherGot = TryEnterCriticalSection(&section); }).join();
  EXPECT_FALSE(otherGot);
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  std::thread([&] {
    otherGot = TryEnterCriticalSection(&section);
    if (otherGot) LeaveCriticalSection(&section);
  }).join();
  EXPECT_TRUE(otherGot);
  DeleteCriticalSection(&section);
}

TEST(Time, CountersAdvanceTogether) {
  LARGE_INTEGER frequency, before, after;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  QueryPerformanceCounter(&before);
  DWORD tickBefore = GetTickCount();
  Sleep(30);
  QueryPerformanceCounter(&after);
  double elapsedMs = (after.QuadPart - before.QuadPart) * 1000.0 / frequency.QuadPart;
  EXPECT_GE(elapsedMs, 29.0);
  EXPECT_GE(GetTickCount() - tickBefore, 29u);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  EXPECT_GT(ticks, 116444736000000000ull + 17000000000000000ull);  // after 2023
  EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
}
