#include "LauncherHandoff.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

#include "CommonUtils.h"
#include "Runtime/TextUtils.h"

namespace {

const wchar_t kLauncherIni[] = L"KavroLaucher.ini";
const wchar_t kIniSection[] = L"Kavronet-Launcher";
const wchar_t kIniKey[] = L"InstallPath";
const char kRegistryKey[] = "SOFTWARE\\KavroLauncher";
const wchar_t kRegistryValue[] = L"InstPath";
const wchar_t kLauncherExe[] = L"KavroLauncher.exe";
const wchar_t kPackageExe[] = L"kvinstaller.exe";
const wchar_t kMainDll[] = L"kvmain.dll";
const wchar_t* const kDriveCandidates[] = {L"D:\\", L"C:\\", L"E:\\"};
const wchar_t kDefaultSubFolder[] = L"Kavro网络\\KavroCorvix";

const wchar_t kLauncherCommand[] = L"%s -i \"%d\" -d";
const wchar_t kPackageCommand[] = L"%s /S \"/unpack=%s\" /launch=off";

constexpr size_t kPathChars = 2048;

// The common application-data folder, "" when the shell cannot name it.
std::wstring CommonAppDataFolder() {
  WCHAR folder[kPathChars] = L"";
  CoInitialize(nullptr);
  PIDLIST_ABSOLUTE item = nullptr;
  WCHAR path[MAX_PATH] = L"";
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &item)) &&
      SHGetPathFromIDListW(item, path))
    wcsncpy(folder, path, kPathChars - 1);
  if (item) CoTaskMemFree(item);
  CoUninitialize();
  return folder;
}

// The launcher path the launcher INI file names, when that file exists.
bool LauncherFromIni(TLauncherHandoff& window) {
  std::wstring folder = CommonAppDataFolder();
  if (folder.empty()) return false;
  std::vector<WCHAR> iniPath(kPathChars, L'\0');
  wcsncpy(iniPath.data(), folder.c_str(), kPathChars - 1);
  if (!PathAppendW(iniPath.data(), kLauncherIni)) return false;
  std::vector<WCHAR> value(kPathChars, L'\0');
  GetPrivateProfileStringW(kIniSection, kIniKey, L"", value.data(), kPathChars, iniPath.data());
  if (value[0] == L'\0' || !PathFileExistsW(value.data())) return false;
  window.launcherPath = value.data();
  return true;
}

// The install folder the registry names; the launcher counts as found only when its
// executable is there. Only a plain string value is taken.
bool LauncherFromRegistry(TLauncherHandoff& window) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool found = false;
  // 4096 bytes offered, with room for one more character to end the text.
  constexpr DWORD kOffered = 4096;
  std::vector<WCHAR> text(kOffered / sizeof(WCHAR) + 1, L'\0');
  DWORD type = 0, size = kOffered;
  if (RegQueryValueExW(key, kRegistryValue, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    text[size / sizeof(WCHAR)] = L'\0';
    window.installFolder = text.data();
    std::vector<WCHAR> exe(kPathChars, L'\0');
    wcsncpy(exe.data(), text.data(), kPathChars - 1);
    if (PathAppendW(exe.data(), kLauncherExe) && PathFileExistsW(exe.data())) {
      window.launcherPath = exe.data();
      found = true;
    }
  }
  RegCloseKey(key);
  return found;
}

std::wstring BesideProgram(const wchar_t* name) {
  std::vector<WCHAR> path(kPathChars, L'\0');
  FormatFixedPath(path.data(), kPathChars, L"%s\\%s", GetExeFolder().c_str(), name);
  return path.data();
}

void CloseProcessHandles(PROCESS_INFORMATION& info) {
  if (info.hProcess) CloseHandle(info.hProcess);
  if (info.hThread) CloseHandle(info.hThread);
  info = PROCESS_INFORMATION{};
}

}  // namespace

TLauncherHandoff::~TLauncherHandoff() { CloseProcessHandles(installerProcess); }

bool DetectLauncher(TLauncherHandoff& window) {
  window.launcherPath.clear();
  if (LauncherFromIni(window)) return true;
  return LauncherFromRegistry(window);
}

std::wstring DefaultInstallFolder() {
  WCHAR folder[MAX_PATH] = L"";
  for (const wchar_t* drive : kDriveCandidates) {
    if (PathFileExistsW(drive)) {
      wcsncpy(folder, drive, MAX_PATH - 1);
      break;
    }
  }
  if (folder[0] == L'\0') return L"";
  if (!PathAppendW(folder, kDefaultSubFolder)) return L"";
  return folder;
}

void LocateWorkFolder(TLauncherHandoff& window) {
  if (PathFileExistsW(BesideProgram(kMainDll).c_str())) {
    window.mainDllBeside = true;
    window.workFolder = GetExeFolder();
    if (PathFileExistsW(BesideProgram(kPackageExe).c_str())) window.installerBeside = true;
  } else {
    window.workFolder = DefaultInstallFolder();
  }
}

DWORD StartProcessKeep(const std::wstring& application, const std::wstring& commandLine,
                       PROCESS_INFORMATION* info) {
  std::vector<WCHAR> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    DWORD error = GetLastError();
    return error ? error : ERROR_INVALID_FUNCTION;
  }
  if (info) *info = process;
  else CloseProcessHandles(process);
  return ERROR_SUCCESS;
}

DWORD StartProcess(const std::wstring& application, const std::wstring& commandLine,
                   PROCESS_INFORMATION* info) {
  PROCESS_INFORMATION process{};
  DWORD error = StartProcessKeep(application, commandLine, &process);
  if (error != ERROR_SUCCESS) return error;
  DWORD processId = process.dwProcessId, threadId = process.dwThreadId;
  CloseProcessHandles(process);
  if (info) *info = PROCESS_INFORMATION{nullptr, nullptr, processId, threadId};
  return ERROR_SUCCESS;
}

bool HandOffToLauncher(TLauncherHandoff& window) {
  std::wstring command = FormatString(kLauncherCommand, window.launcherPath.c_str(), window.gameId);
  return StartProcess(window.launcherPath, command) == ERROR_SUCCESS;
}

void RunPackageInstaller(TLauncherHandoff& window) {
  window.packageExePath = window.workFolder + L"\\" + kPackageExe;
  std::wstring command = FormatString(kPackageCommand, window.packageExePath.c_str(), window.installFolder.c_str());
  CloseProcessHandles(window.installerProcess);
  StartProcessKeep(window.packageExePath, command, &window.installerProcess);
}

void StartLauncherAfterInstall(TLauncherHandoff& window) {
  if (window.installerProcess.hProcess) {
    WaitForSingleObject(window.installerProcess.hProcess, INFINITE);
    CloseProcessHandles(window.installerProcess);
  }
  std::wstring launcher = window.installFolder + L"\\" + kLauncherExe;
  StartProcess(launcher, FormatString(kLauncherCommand, launcher.c_str(), window.gameId));
  if (!window.mainDllBeside) DeleteFileW(window.packageExePath.c_str());
}
