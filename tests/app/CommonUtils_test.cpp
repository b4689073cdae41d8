// The installer's file and formatting helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "CommonUtils.h"
#include "internal/drivemap.h"
#include "internal/folderpicker.h"
#include "internal/utf.h"
#include "Runtime/Log.h"
#include "support/TempPrefix.h"

namespace {

HANDLE OpenExclusive(const wchar_t* path) {
  return CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TEST(FormatSize, PicksTheUnitAtTheBoundaries) {
  struct Case {
    uint64_t bytes;
    const wchar_t* text;
  } cases[] = {
      {0, L"0B"},
      {999, L"999B"},
      {1000, L"0.98KB"},
      {1023999, L"1000.00KB"},
      {1024000, L"0.98MB"},
      {125829120, L"120.00MB"},
      {1048575999, L"1000.00MB"},
      {1048576000, L"0.98GB"},
      {1073741824000ull, L"0.98TB"},
      {5ull << 50, L"5120.00TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatFixedPath, JoinsAndCutsToTheBuffer) {
  wchar_t buffer[2048];
  EXPECT_EQ(FormatFixedPath(buffer, 2048, L"%s\\%s", L"C:\\Kavro网络", L"kvmain.dll"), 21);
  EXPECT_STREQ(buffer, L"C:\\Kavro网络\\kvmain.dll");

  std::wstring exact(2047, L'a'), over(2048, L'b');
  EXPECT_EQ(FormatFixedPath(buffer, 2048, L"%s", exact.c_str()), 2047);
  EXPECT_EQ(std::wstring(buffer), exact);
  EXPECT_EQ(FormatFixedPath(buffer, 2048, L"%s", over.c_str()), -1);
  EXPECT_EQ(std::wstring(buffer), over.substr(0, 2047));
}

TEST(GetExeFolder, IsTheProgramsFolderByItsWindowsName) {
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(GetExeFolder(), kvplat::ToWindowsPath(self.parent_path().string()));
  EXPECT_EQ(GetExeFolder().back() == L'\\', false);
}

TEST(GetFileSize64, ReadsSizesEvenOfLockedFiles) {
  TempPrefix prefix;
  WriteHostFile(prefix.Host("drive_c/pkg.exe"), std::string(12345, 'x'));
  WriteHostFile(prefix.Host("drive_c/empty"), "");
  EXPECT_EQ(GetFileSize64(L"C:\\pkg.exe"), 12345);
  EXPECT_EQ(GetFileSize64(L"C:\\empty"), 0);
  EXPECT_EQ(GetFileSize64(L"C:\\missing.exe"), -1);
  // Held open without sharing, the file cannot be opened, but its entry is still found.
  HANDLE locked = OpenExclusive(L"C:\\pkg.exe");
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize64(L"C:\\pkg.exe"), 12345);
  CloseHandle(locked);
}

TEST(CreateDir, MakesMissingParentsAndAcceptsWhatExists) {
  TempPrefix prefix;
  prefix.AddDrive('d');
  WriteHostFile(prefix.Host("drive_c/a-file"), "x");
  struct Case {
    const wchar_t* path;
    bool result;
  } cases[] = {
      {L"D:\\My Games\\Kavro网络\\KavroCorvix", true},
      {L"D:\\My Games\\Kavro网络\\KavroCorvix", true},
      // Anything existing counts: a file is not handed on to be created.
      {L"C:\\a-file", true},
      {L"E:\\Kavro网络", false},
      {L"relative", false},
  };
  for (const auto& c : cases) EXPECT_EQ(CreateDir(c.path), c.result) << c.path;
  EXPECT_TRUE(std::filesystem::is_directory(prefix.Host("drive_d/My Games/Kavro网络/KavroCorvix")));
}

TEST(DeleteFileRetry, TrueOnlyWhenTheFileIsGone) {
  TempPrefix prefix;
  WriteHostFile(prefix.Host("drive_c/pkg.exe"), "x");
  EXPECT_TRUE(DeleteFileRetry(L"C:\\missing.exe"));
  HANDLE locked = OpenExclusive(L"C:\\pkg.exe");
  EXPECT_FALSE(DeleteFileRetry(L"C:\\pkg.exe"));
  EXPECT_TRUE(std::filesystem::exists(prefix.Host("drive_c/pkg.exe")));
  CloseHandle(locked);
  EXPECT_TRUE(DeleteFileRetry(L"C:\\pkg.exe"));
  EXPECT_FALSE(std::filesystem::exists(prefix.Host("drive_c/pkg.exe")));
}

TEST(MoveFileRetry, ReplacesTheTargetUnlessItIsHeldOpen) {
  TempPrefix prefix;
  WriteHostFile(prefix.Host("drive_c/target"), "old");
  EXPECT_FALSE(MoveFileRetry(L"C:\\missing", L"C:\\target"));
  EXPECT_EQ(ReadHostFile(prefix.Host("drive_c/target")), "old");

  WriteHostFile(prefix.Host("drive_c/source"), "new");
  HANDLE locked = OpenExclusive(L"C:\\target");
  EXPECT_FALSE(MoveFileRetry(L"C:\\source", L"C:\\target"));
  CloseHandle(locked);
  EXPECT_EQ(ReadHostFile(prefix.Host("drive_c/source")), "new");
  EXPECT_EQ(ReadHostFile(prefix.Host("drive_c/target")), "old");

  EXPECT_TRUE(MoveFileRetry(L"C:\\source", L"C:\\target"));
  EXPECT_EQ(ReadHostFile(prefix.Host("drive_c/target")), "new");
  EXPECT_FALSE(std::filesystem::exists(prefix.Host("drive_c/source")));
}

TEST(BrowseForFolder, OpensOnTheInitialFolderAndEndsTheChoiceWithABackslash) {
  TempPrefix prefix;
  std::string drive = prefix.AddDrive('d');
  std::filesystem::create_directories(drive + "/My Games/Kavro网络");
  struct Case {
    const wchar_t* initial;
    std::optional<std::string> answer;
    std::wstring result;
    std::string askedFolder;
  } cases[] = {
      {L"D:\\My Games\\Kavro网络", drive + "/My Games", L"D:\\My Games\\", drive + "/My Games/Kavro网络"},
      {L"D:\\My Games", drive, L"D:\\", drive + "/My Games"},
      {L"D:\\My Games", std::nullopt, L"", drive + "/My Games"},
  };
  for (const auto& c : cases) {
    kvplat::FolderPickerRequest asked;
    kvplat::SetFolderPickerHook([&](const kvplat::FolderPickerRequest& request) {
      asked = request;
      return c.answer;
    });
    EXPECT_EQ(BrowseForFolder(nullptr, c.initial), c.result) << c.initial;
    EXPECT_EQ(asked.title, L"选择文件夹");
    EXPECT_EQ(asked.initialFolder, c.askedFolder);
  }
  kvplat::SetFolderPickerHook(nullptr);
}

TEST(CreateDir, LogsAFailureToTheFileLogger) {
  TempPrefix prefix;
  std::string logFile = prefix.Host("kvsetup.log");
  FileLogger& logger = FileLogger::Instance();
  logger.SetOptions(std::make_unique<LogOptions>());
  ASSERT_TRUE(logger.OpenFile(logFile.c_str()));
  EXPECT_FALSE(CreateDir(L"E:\\Kavro网络"));
  logger.CloseFile();
  logger.SetOptions(nullptr);
  EXPECT_EQ(ReadHostFile(logFile),
            "\xFF\xFE" + kvplat::WideToUtf16Le(L"[ERRO][.\\CommonUtils:708]CreateDir：E:\\Kavro网络 ret：3"));
}
