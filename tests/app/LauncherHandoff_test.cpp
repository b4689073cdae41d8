// Launcher detection, the default and work folders, and the handoff to the package
// installer and launcher stand-ins.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "LauncherHandoff.h"
#include "internal/drivemap.h"
#include "internal/utf.h"
#include "support/TempPrefix.h"

namespace fs = std::filesystem;

namespace {

const std::string kStandIns = std::string(KV_TEST_BINARY_DIR) + "/demo/";

// Child mode: with KV_TEST_LOCATE_OUT set, the program runs LocateWorkFolder from
// wherever it was copied and writes "mainDllBeside installerBeside workFolder" there.
struct LocateChild {
  LocateChild() {
    const char* out = std::getenv("KV_TEST_LOCATE_OUT");
    if (!out) return;
    TLauncherHandoff window;
    LocateWorkFolder(window);
    WriteHostFile(out, std::to_string(window.mainDllBeside) + " " + std::to_string(window.installerBeside) + " " +
                           kvplat::WideToUtf8(window.workFolder));
    _exit(0);
  }
} locateChild;

void SetRegistryFolder(DWORD type, const std::wstring& folder) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KavroLauncher", 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"InstPath", 0, type, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>((folder.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

// The launcher INI file as the launcher writes it: UTF-16LE with a byte-order mark.
void WriteLauncherIni(const TempPrefix& prefix, const std::wstring& launcher) {
  WriteHostFile(prefix.Host("drive_c/ProgramData/KavroLaucher.ini"),
                "\xFF\xFE" + kvplat::WideToUtf16Le(L"[Kavronet-Launcher]\r\nInstallPath=" + launcher + L"\r\n"));
}

std::string Host(const std::wstring& windowsPath) { return kvplat::ToHostPath(windowsPath); }

// Copies a file as a download would leave it: without its run bit.
void CopyDownloaded(const std::string& from, const std::wstring& to) {
  fs::create_directories(fs::path(Host(to)).parent_path());
  fs::copy_file(from, Host(to), fs::copy_options::overwrite_existing);
  fs::permissions(Host(to), fs::perms::owner_read | fs::perms::owner_write);
}

// The lines a stand-in recorded, waiting a while for a child still starting or writing.
std::string WaitForRecord(const std::wstring& file) {
  std::string record;
  for (int i = 0; i < 500; ++i) {
    record = ReadHostFile(Host(file));
    if (!record.empty() && record.back() == '\n') break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return record;
}

}  // namespace

TEST(DetectLauncher, LooksInTheIniFileThenTheRegistry) {
  const std::wstring iniLauncher = L"C:\\Games\\Ini Launcher\\KavroLauncher.exe";
  const std::wstring regFolder = L"D:\\Kavro 网络\\KavroCorvix";
  const std::wstring regLauncher = regFolder + L"\\KavroLauncher.exe";
  struct Case {
    const char* what;
    bool ini, iniLauncherExists;
    DWORD regType;  // 0: no registry key
    bool regLauncherExists;
    bool found;
    std::wstring launcherPath, installFolder;
  } cases[] = {
      {"INI names an existing launcher", true, true, REG_SZ, true, true, iniLauncher, L"preset"},
      {"INI launcher gone, registry has one", true, false, REG_SZ, true, true, regLauncher, regFolder},
      {"registry folder without launcher", false, false, REG_SZ, false, false, L"", regFolder},
      {"expandable registry string", false, false, REG_EXPAND_SZ, true, false, L"", L"preset"},
      {"nothing installed", false, false, 0, false, false, L"", L"preset"},
  };
  for (const auto& c : cases) {
    TempPrefix prefix;
    prefix.AddDrive('d');
    if (c.ini) WriteLauncherIni(prefix, iniLauncher);
    if (c.iniLauncherExists) WriteHostFile(Host(iniLauncher), "exe");
    if (c.regType) SetRegistryFolder(c.regType, regFolder);
    if (c.regLauncherExists) WriteHostFile(Host(regLauncher), "exe");

    TLauncherHandoff window;
    window.installFolder = L"preset";
    window.launcherPath = L"stale";
    EXPECT_EQ(DetectLauncher(window), c.found) << c.what;
    EXPECT_EQ(window.launcherPath, c.launcherPath) << c.what;
    EXPECT_EQ(window.installFolder, c.installFolder) << c.what;
  }
}

TEST(DefaultInstallFolder, TakesDThenCThenE) {
  struct Case {
    const char* drives;
    std::wstring folder;
  } cases[] = {
      {"c", L"C:\\Kavro网络\\KavroCorvix"},
      {"cd", L"D:\\Kavro网络\\KavroCorvix"},
      {"ce", L"C:\\Kavro网络\\KavroCorvix"},
      {"e", L"E:\\Kavro网络\\KavroCorvix"},
      {"", L""},
  };
  for (const auto& c : cases) {
    TempPrefix prefix;
    fs::remove_all(prefix.Host("drive_c"));
    for (const char* d = c.drives; *d; ++d) prefix.AddDrive(*d);
    EXPECT_EQ(DefaultInstallFolder(), c.folder) << c.drives;
    EXPECT_FALSE(fs::exists(prefix.Host("drive_c/Kavro网络")));
  }
}

TEST(LocateWorkFolder, UsesTheProgramsFolderOnlyBesideKvmainDll) {
  struct Case {
    const char* what;
    bool mainDll, package;
    std::string expected;
  } cases[] = {
      {"package without kvmain.dll", false, true, "0 0 D:\\Kavro网络\\KavroCorvix"},
      {"launcher folder with package", true, true, "1 1 C:\\Kavro Setup"},
      {"launcher folder without package", true, false, "1 0 C:\\Kavro Setup"},
  };
  for (const auto& c : cases) {
    TempPrefix prefix;
    prefix.AddDrive('d');
    fs::create_directories(prefix.Host("drive_c/Kavro Setup"));
    fs::copy_file("/proc/self/exe", prefix.Host("drive_c/Kavro Setup/kvsetup.exe"));
    if (c.mainDll) WriteHostFile(prefix.Host("drive_c/Kavro Setup/kvmain.dll"), "dll");
    if (c.package) WriteHostFile(prefix.Host("drive_c/Kavro Setup/kvinstaller.exe"), "exe");

    std::string out = prefix.Host("located.txt");
    setenv("KV_TEST_LOCATE_OUT", out.c_str(), 1);
    PROCESS_INFORMATION child{};
    DWORD started = StartProcessKeep(L"C:\\Kavro Setup\\kvsetup.exe", L"\"C:\\Kavro Setup\\kvsetup.exe\"", &child);
    unsetenv("KV_TEST_LOCATE_OUT");
    ASSERT_EQ(started, 0u) << c.what;
    WaitForSingleObject(child.hProcess, INFINITE);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    EXPECT_EQ(ReadHostFile(out), c.expected) << c.what;
  }
}

TEST(StartProcess, ReportsWindowsErrorsAndKeepsNoHandles) {
  TempPrefix prefix;
  PROCESS_INFORMATION info{};
  EXPECT_EQ(StartProcess(L"C:\\missing\\KavroLauncher.exe", L"C:\\missing\\KavroLauncher.exe -d", &info),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StartProcessKeep(L"C:\\KavroLauncher.exe", L"C:\\KavroLauncher.exe -d", &info),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  CopyDownloaded(kStandIns + "KavroLauncher.exe", L"C:\\L\\KavroLauncher.exe");
  EXPECT_EQ(StartProcess(L"C:\\L\\KavroLauncher.exe", L"C:\\L\\KavroLauncher.exe -i \"3\" -d", &info), 0u);
  EXPECT_EQ(info.hProcess, nullptr);
  EXPECT_EQ(info.hThread, nullptr);
  EXPECT_NE(info.dwProcessId, 0u);
  EXPECT_EQ(WaitForRecord(L"C:\\L\\KavroLauncher.runs.txt"), "-i \"3\" -d\n");
}

TEST(DirectHandoff, StartsTheInstalledLauncherWithTheGameId) {
  TempPrefix prefix;
  const std::wstring launcher = L"C:\\Program Files\\Kavro 网络\\KavroLauncher.exe";
  CopyDownloaded(kStandIns + "KavroLauncher.exe", launcher);
  WriteLauncherIni(prefix, launcher);
  TLauncherHandoff window;
  ASSERT_TRUE(DetectLauncher(window));
  EXPECT_TRUE(HandOffToLauncher(window));
  // The launcher's path is not quoted, so as on Windows its program name ends at the
  // first blank and the rest of the path comes before the arguments.
  EXPECT_EQ(WaitForRecord(L"C:\\Program Files\\Kavro 网络\\KavroLauncher.runs.txt"),
            "Files\\Kavro 网络\\KavroLauncher.exe -i \"8\" -d\n");

  window.launcherPath = L"C:\\gone\\KavroLauncher.exe";
  EXPECT_FALSE(HandOffToLauncher(window));
}

// What the launcher in "D:\\My Games\\..." receives after its program name, which ends at
// the first blank of its unquoted path.
const std::string kLauncherRecord = "Games\\卡夫罗 网络\\KavroCorvix\\KavroLauncher.exe -i \"1234\" -d\n";

class InstallHandoff : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.AddDrive('d');
    window_.workFolder = L"D:\\Kavro网络\\KavroCorvix";
    window_.installFolder = L"D:\\My Games\\卡夫罗 网络\\KavroCorvix";
    window_.gameId = 1234;
  }
  void PutPackage() {
    CopyDownloaded(kStandIns + "kvinstaller.exe", window_.workFolder + L"\\kvinstaller.exe");
    WriteHostFile(Host(window_.workFolder + L"\\kvinstall.ini"), "manifest");
  }
  std::wstring Launcher() const { return window_.installFolder + L"\\KavroLauncher.exe"; }

  TempPrefix prefix_;
  TLauncherHandoff window_;
};

TEST_F(InstallHandoff, WaitsForThePackageThenStartsTheLauncherAndRemovesThePackage) {
  PutPackage();
  setenv("KV_STANDIN_DELAY_MS", "300", 1);
  RunPackageInstaller(window_);
  unsetenv("KV_STANDIN_DELAY_MS");
  EXPECT_EQ(window_.packageExePath, L"D:\\Kavro网络\\KavroCorvix\\kvinstaller.exe");
  ASSERT_NE(window_.installerProcess.hProcess, nullptr);
  EXPECT_FALSE(PathFileExistsW(Launcher().c_str()));  // still installing

  StartLauncherAfterInstall(window_);
  EXPECT_EQ(window_.installerProcess.hProcess, nullptr);
  EXPECT_EQ(ReadHostFile(Host(window_.workFolder + L"\\kvinstaller.runs.txt")),
            "/S \"/unpack=D:\\My Games\\卡夫罗 网络\\KavroCorvix\" /launch=off\n");
  EXPECT_EQ(WaitForRecord(window_.installFolder + L"\\KavroLauncher.runs.txt"), kLauncherRecord);
  EXPECT_TRUE(PathFileExistsW((window_.installFolder + L"\\kvmain.dll").c_str()));
  EXPECT_FALSE(PathFileExistsW(window_.packageExePath.c_str()));
  EXPECT_TRUE(PathFileExistsW((window_.workFolder + L"\\kvinstall.ini").c_str()));

  // The installation is found on the next start, through the INI file.
  TLauncherHandoff next;
  EXPECT_TRUE(DetectLauncher(next));
  EXPECT_EQ(next.launcherPath, Launcher());
}

TEST_F(InstallHandoff, PackageBesideTheProgramStays) {
  window_.mainDllBeside = true;
  PutPackage();
  RunPackageInstaller(window_);
  StartLauncherAfterInstall(window_);
  EXPECT_EQ(WaitForRecord(window_.installFolder + L"\\KavroLauncher.runs.txt"), kLauncherRecord);
  EXPECT_TRUE(PathFileExistsW(window_.packageExePath.c_str()));
}

TEST_F(InstallHandoff, WithoutAPackageNothingIsWaitedForOrStarted) {
  RunPackageInstaller(window_);
  EXPECT_EQ(window_.installerProcess.hProcess, nullptr);
  StartLauncherAfterInstall(window_);
  EXPECT_FALSE(PathFileExistsW(window_.installFolder.c_str()));
}
