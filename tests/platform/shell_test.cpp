// Shell services: path helpers, the program's file name, special folders, directory
// trees and opening URLs.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "internal/drivemap.h"
#include "internal/folderpicker.h"
#include "support/TempPrefix.h"

TEST(PathHelpers, RemoveFileSpecAndAppend) {
  struct RemoveCase {
    const wchar_t* path;
    const wchar_t* result;
    BOOL removed;
  } removes[] = {
      {L"C:\\Kavro网络\\KavroCorvix\\kvsetup.exe", L"C:\\Kavro网络\\KavroCorvix", TRUE},
      {L"C:\\kvsetup.exe", L"C:\\", TRUE},
      {L"C:\\", L"C:\\", FALSE},
      {L"\\file", L"\\", TRUE},
      {L"file.exe", L"", TRUE},
      {L"", L"", FALSE},
  };
  for (const auto& c : removes) {
    WCHAR buffer[MAX_PATH];
    wcscpy(buffer, c.path);
    EXPECT_EQ(PathRemoveFileSpecW(buffer), c.removed) << c.path;
    EXPECT_STREQ(buffer, c.result) << c.path;
  }

  std::wstring longName(MAX_PATH - 4, L'x');
  struct AppendCase {
    const wchar_t* path;
    std::wstring more;
    const wchar_t* result;
    BOOL ok;
  } appends[] = {
      {L"D:\\", L"Kavro网络\\KavroCorvix", L"D:\\Kavro网络\\KavroCorvix", TRUE},
      {L"C:\\ProgramData", L"KavroLaucher.ini", L"C:\\ProgramData\\KavroLaucher.ini", TRUE},
      {L"C:\\a\\", L"\\b", L"C:\\a\\b", TRUE},
      {L"C:\\a", L"", L"C:\\a", TRUE},
      {L"C:\\a", longName, L"C:\\a", FALSE},
  };
  for (const auto& c : appends) {
    WCHAR buffer[MAX_PATH];
    wcscpy(buffer, c.path);
    EXPECT_EQ(PathAppendW(buffer, c.more.c_str()), c.ok) << c.path;
    EXPECT_STREQ(buffer, c.result) << c.path;
  }
}

TEST(PathHelpers, FileExistsSeesFilesFoldersAndDrives) {
  TempPrefix prefix;
  WriteHostFile(prefix.Host("drive_c/Kavro网络/kvmain.dll"), "x");
  EXPECT_TRUE(PathFileExistsW(L"C:\\Kavro网络\\kvmain.dll"));
  EXPECT_TRUE(PathFileExistsW(L"c:/Kavro网络/kvmain.dll"));
  EXPECT_TRUE(PathFileExistsW(L"C:\\"));
  EXPECT_FALSE(PathFileExistsW(L"C:\\Kavro网络\\kvinstaller.exe"));
  EXPECT_FALSE(PathFileExistsW(L"D:\\"));
  EXPECT_FALSE(PathFileExistsW(L""));
  prefix.AddDrive('d');
  EXPECT_TRUE(PathFileExistsW(L"D:\\"));
}

TEST(ModuleFileName, NamesTheProgramThroughTheDriveMap) {
  std::wstring expected = kvplat::ToWindowsPath(std::filesystem::read_symlink("/proc/self/exe").string());
  WCHAR buffer[512];
  DWORD length = GetModuleFileNameW(nullptr, buffer, 512);
  EXPECT_EQ(std::wstring(buffer), expected);
  EXPECT_EQ(length, expected.size());

  WCHAR small[5];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::wstring(small), expected.substr(0, 4));
}

TEST(SpecialFolders, CommonAppDataIsProgramData) {
  TempPrefix prefix;
  std::filesystem::remove(prefix.Host("drive_c/ProgramData"));
  PIDLIST_ABSOLUTE item = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &item), S_OK);
  WCHAR path[MAX_PATH] = L"junk";
  EXPECT_TRUE(SHGetPathFromIDListW(item, path));
  EXPECT_STREQ(path, L"C:\\ProgramData");
  EXPECT_TRUE(std::filesystem::is_directory(prefix.Host("drive_c/ProgramData")));
  CoTaskMemFree(item);

  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x001a, &item), E_INVALIDARG);
  EXPECT_EQ(item, nullptr);
}

TEST(CreateDirectoryTree, CreatesParentsAndReportsDocumentedCodes) {
  TempPrefix prefix;
  prefix.AddDrive('d');
  WriteHostFile(prefix.Host("drive_c/afile"), "x");
  std::wstring tooLong = L"C:\\" + std::wstring(MAX_PATH, L'x');
  struct Case {
    std::wstring path;
    int result;
  } cases[] = {
      {L"D:\\My Games\\Kavro网络\\KavroCorvix", ERROR_SUCCESS},
      {L"D:\\My Games\\Kavro网络\\KavroCorvix", ERROR_ALREADY_EXISTS},
      {L"C:\\ProgramData\\", ERROR_ALREADY_EXISTS},
      {L"relative\\folder", ERROR_BAD_PATHNAME},
      {L"E:\\Games", ERROR_PATH_NOT_FOUND},
      {L"C:\\afile\\below", ERROR_PATH_NOT_FOUND},
      {L"C:\\bad?name", ERROR_INVALID_NAME},
      {tooLong, ERROR_FILENAME_EXCED_RANGE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, c.path.c_str(), nullptr), c.result) << c.path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.result));
  }
  EXPECT_TRUE(std::filesystem::is_directory(prefix.Host("drive_d/My Games/Kavro网络/KavroCorvix")));
}

TEST(ShellExecute, OpensUrlsWithTheDesktopOpener) {
  TempPrefix prefix;
  std::string bin = prefix.Host("bin");
  std::string record = prefix.Host("opened.txt");
  WriteHostFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > " + record + ".tmp && mv " + record +
                                       ".tmp " + record + "\n");
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
  std::string path = std::getenv("PATH");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  HINSTANCE result = ShellExecuteW(nullptr, L"open", L"http://www.kavro.example/agreement.html?a=1&b=中",
                                   nullptr, nullptr, 1);
  setenv("PATH", path.c_str(), 1);
  EXPECT_GT(reinterpret_cast<INT_PTR>(result), 32);
  for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(ReadHostFile(record), "http://www.kavro.example/agreement.html?a=1&b=中");

  EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"C:\\missing.html", nullptr, nullptr, 1)),
            ERROR_FILE_NOT_FOUND);
}

namespace {

struct CallbackLog {
  std::wstring selected;  // what BFFM_SELCHANGED named
};

int CALLBACK SelectOnInit(HWND window, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(L"D:\\My Games"));
  if (message == BFFM_SELCHANGED) {
    WCHAR path[MAX_PATH];
    if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path))
      reinterpret_cast<CallbackLog*>(data)->selected = path;
  }
  return 0;
}

}  // namespace

TEST(FolderPicker, CallbackSelectsTheInitialFolderAndTheAnswerGetsItsWindowsName) {
  TempPrefix prefix;
  std::string games = prefix.AddDrive('d') + "/My Games";
  std::filesystem::create_directories(games + "/卡夫罗");
  kvplat::FolderPickerRequest asked;
  kvplat::SetFolderPickerHook([&](const kvplat::FolderPickerRequest& request) -> std::optional<std::string> {
    asked = request;
    return games + "/卡夫罗";
  });
  CallbackLog log;
  WCHAR displayName[MAX_PATH] = L"";
  BROWSEINFOW info{};
  info.pszDisplayName = displayName;
  info.lpszTitle = L"选择文件夹";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = SelectOnInit;
  info.lParam = reinterpret_cast<LPARAM>(&log);
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  kvplat::SetFolderPickerHook(nullptr);

  EXPECT_EQ(asked.title, L"选择文件夹");
  EXPECT_EQ(asked.initialFolder, games);
  EXPECT_EQ(log.selected, L"D:\\My Games");
  ASSERT_NE(item, nullptr);
  WCHAR path[MAX_PATH];
  EXPECT_TRUE(SHGetPathFromIDListW(item, path));
  EXPECT_STREQ(path, L"D:\\My Games\\卡夫罗");
  EXPECT_STREQ(displayName, L"卡夫罗");
  CoTaskMemFree(item);
}

TEST(FolderPicker, HeadlessAnswersFromTheEnvironment) {
  TempPrefix prefix;
  std::string drive = prefix.AddDrive('e');
  setenv("KV_BACKEND", "headless", 1);
  BROWSEINFOW info{};
  info.lpszTitle = L"选择文件夹";
  unsetenv("KV_PICK_FOLDER");
  EXPECT_EQ(SHBrowseForFolderW(&info), nullptr);  // nothing chosen: cancelled

  setenv("KV_PICK_FOLDER", drive.c_str(), 1);
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  unsetenv("KV_PICK_FOLDER");
  unsetenv("KV_BACKEND");
  ASSERT_NE(item, nullptr);
  WCHAR path[MAX_PATH];
  EXPECT_TRUE(SHGetPathFromIDListW(item, path));
  EXPECT_STREQ(path, L"E:\\");
  CoTaskMemFree(item);
}

TEST(FolderPicker, DesktopChooserIsZenity) {
  TempPrefix prefix;
  std::string games = prefix.AddDrive('d') + "/My Games";
  std::filesystem::create_directories(games);
  std::string bin = prefix.Host("bin"), args = prefix.Host("zenity-args");
  // Records its arguments; answers with the folder it was opened on, or cancels.
  WriteHostFile(bin + "/zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + args +
                                     "\n[ -n \"$ZENITY_CANCEL\" ] && exit 1\n"
                                     "for a; do case $a in --filename=*) printf '%s\\n' \"${a#--filename=}\";; esac; done\n");
  std::filesystem::permissions(bin + "/zenity", std::filesystem::perms::owner_all);
  std::string path = std::getenv("PATH");
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  BROWSEINFOW info{};
  info.lpszTitle = L"选择文件夹";
  info.lpfn = SelectOnInit;
  CallbackLog log;
  info.lParam = reinterpret_cast<LPARAM>(&log);
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  setenv("ZENITY_CANCEL", "1", 1);
  PIDLIST_ABSOLUTE cancelled = SHBrowseForFolderW(&info);
  unsetenv("ZENITY_CANCEL");
  setenv("PATH", path.c_str(), 1);

  EXPECT_EQ(ReadHostFile(args), "--file-selection\n--directory\n--title=选择文件夹\n--filename=" + games + "/\n");
  ASSERT_NE(item, nullptr);
  WCHAR chosen[MAX_PATH];
  EXPECT_TRUE(SHGetPathFromIDListW(item, chosen));
  EXPECT_STREQ(chosen, L"D:\\My Games");
  CoTaskMemFree(item);
  EXPECT_EQ(cancelled, nullptr);
}
