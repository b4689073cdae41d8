// INI files: lookup rules, encodings, truncation, and writing that keeps the rest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "internal/utf.h"
#include "support/TempPrefix.h"

namespace {

const wchar_t kFile[] = L"C:\\ProgramData\\KavroLaucher.ini";

std::wstring Read(const wchar_t* section, const wchar_t* key, const wchar_t* fallback = L"",
                  DWORD size = 2048, DWORD* count = nullptr) {
  std::wstring buffer(2048, L'#');
  DWORD n = GetPrivateProfileStringW(section, key, fallback, buffer.data(), size, kFile);
  if (count) *count = n;
  return buffer.c_str();
}

const std::wstring kText =
    L"; written by the launcher\r\n"
    L"[Other]\r\n"
    L"InstallPath=C:\\wrong.exe\r\n"
    L"  [ Kavronet-Launcher ]  \r\n"
    L"  InstallPath   =   D:\\游戏 目录\\KavroLauncher.exe = x  \r\n"
    L"Quoted=\"  kept blanks  \"\r\n"
    L";Hidden=1\r\n"
    L"Empty=\r\n";

}  // namespace

TEST(IniFile, ReadsValuesInEveryEncoding) {
  TempPrefix prefix;
  const std::string encodings[] = {
      "\xFF\xFE" + kvplat::WideToUtf16Le(kText),
      kvplat::WideToUtf8(kText),
      "\xEF\xBB\xBF" + kvplat::WideToUtf8(kText),
  };
  struct Case {
    const wchar_t* section;
    const wchar_t* key;
    std::wstring value;
  } cases[] = {
      {L"Kavronet-Launcher", L"InstallPath", L"D:\\游戏 目录\\KavroLauncher.exe = x"},
      {L"KAVRONET-LAUNCHER", L"installpath", L"D:\\游戏 目录\\KavroLauncher.exe = x"},
      {L"Kavronet-Launcher", L"Quoted", L"  kept blanks  "},
      {L"Kavronet-Launcher", L"Hidden", L"dflt"},
      {L"Kavronet-Launcher", L"Empty", L""},
      {L"Kavronet-Launcher", L"Missing", L"dflt"},
      {L"Missing", L"InstallPath", L"dflt"},
  };
  for (const auto& bytes : encodings) {
    WriteHostFile(prefix.Host("drive_c/ProgramData/KavroLaucher.ini"), bytes);
    for (const auto& c : cases) EXPECT_EQ(Read(c.section, c.key, L"dflt"), c.value) << c.key;
  }
}

TEST(IniFile, SecondByteOrderMarkDoesNotHideTheFirstSection) {
  // A UTF-8 file with its own mark, re-encoded as UTF-16 behind another mark.
  TempPrefix prefix;
  WriteHostFile(prefix.Host("drive_c/ProgramData/KavroLaucher.ini"),
                "\xFF\xFE" + kvplat::WideToUtf16Le(L"\uFEFF[Kavronet-Launcher]\r\nInstallPath=x\r\n"));
  EXPECT_EQ(Read(L"Kavronet-Launcher", L"InstallPath"), L"x");
}

TEST(IniFile, TruncatesToTheBufferAndFallsBackToTheDefault) {
  TempPrefix prefix;
  DWORD count = 0;
  SetLastError(0);
  EXPECT_EQ(Read(L"Kavronet-Launcher", L"InstallPath", L"none  ", 2048, &count), L"none");
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  WriteHostFile(prefix.Host("drive_c/ProgramData/KavroLaucher.ini"), kvplat::WideToUtf8(kText));
  EXPECT_EQ(Read(L"Kavronet-Launcher", L"InstallPath", L"", 5, &count), L"D:\\游");
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(Read(L"Kavronet-Launcher", L"InstallPath", L"", 1, &count), L"");
  EXPECT_EQ(count, 0u);
}

TEST(IniFile, WritesKeepTheRestOfTheFileAndItsEncoding) {
  TempPrefix prefix;
  const std::string host = prefix.Host("drive_c/ProgramData/KavroLaucher.ini");
  ASSERT_TRUE(WritePrivateProfileStringW(L"Kavronet-Launcher", L"InstallPath", L"C:\\中\\a.exe", kFile));
  EXPECT_EQ(ReadHostFile(host), "[Kavronet-Launcher]\r\nInstallPath=C:\\中\\a.exe\r\n");

  WriteHostFile(host, "\xFF\xFE" + kvplat::WideToUtf16Le(kText + L"\r\n[Last]\r\nA=1\r\n"));
  ASSERT_TRUE(WritePrivateProfileStringW(L"kavronet-launcher", L"INSTALLPATH", L"E:\\b.exe", kFile));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Kavronet-Launcher", L"New", L"n", kFile));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Kavronet-Launcher", L"Quoted", nullptr, kFile));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Other", nullptr, nullptr, kFile));
  EXPECT_EQ(ReadHostFile(host), "\xFF\xFE" + kvplat::WideToUtf16Le(
                                                 L"; written by the launcher\r\n"
                                                 L"  [ Kavronet-Launcher ]  \r\n"
                                                 L"InstallPath=E:\\b.exe\r\n"
                                                 L";Hidden=1\r\n"
                                                 L"Empty=\r\n"
                                                 L"New=n\r\n"
                                                 L"\r\n"
                                                 L"[Last]\r\n"
                                                 L"A=1\r\n"));
  EXPECT_EQ(Read(L"Kavronet-Launcher", L"InstallPath"), L"E:\\b.exe");
}
