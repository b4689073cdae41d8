// Finding an installed launcher, choosing the install and work folders, running the
// package installer silently and handing over to the launcher. The main window owns
// the record below (its fields are the window's own) and calls these operations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct TLauncherHandoff {
  TLauncherHandoff() = default;
  // Closes the package installer's handles if nothing waited for it.
  ~TLauncherHandoff();
  TLauncherHandoff(const TLauncherHandoff&) = delete;
  TLauncherHandoff& operator=(const TLauncherHandoff&) = delete;

  std::wstring installFolder;   // folder the package installer unpacks into
  std::wstring launcherPath;    // installed launcher executable; "" when none was found
  std::wstring workFolder;      // receives the downloaded package and the manifest copy
  std::wstring packageExePath;  // the package installer that is run
  PROCESS_INFORMATION installerProcess{};  // the running package installer, or empty
  int32_t gameId = 8;           // game identifier handed to the launcher
  bool launcherFound = false;
  bool mainDllBeside = false;   // "kvmain.dll" lies in the program's folder
  bool installerBeside = false; // and "kvinstaller.exe" too
};

// Looks for an installed launcher through the launcher INI file, then the registry;
// sets launcherPath, and installFolder when the registry names one.
bool DetectLauncher(TLauncherHandoff& window);

// The first existing drive of D, C, E with "Kavro网络\KavroCorvix" appended; "" when none
// exists. The folder is not created.
std::wstring DefaultInstallFolder();

// Decides whether the program sits in a launcher folder and where the package goes.
void LocateWorkFolder(TLauncherHandoff& window);

// Starts a program with a command line; 0 or the Windows error code. The process and
// thread handles are closed before it returns; info, when given, receives the ids (its
// handle fields are left null, as the handles no longer exist).
DWORD StartProcess(const std::wstring& application, const std::wstring& commandLine,
                   PROCESS_INFORMATION* info = nullptr);

// As StartProcess, but the handles stay open in info for the caller.
DWORD StartProcessKeep(const std::wstring& application, const std::wstring& commandLine,
                       PROCESS_INFORMATION* info);

// Starts the launcher found by DetectLauncher with the game identifier; true when it
// started, so the installer can close.
bool HandOffToLauncher(TLauncherHandoff& window);

// Starts the package installer silently into installFolder and keeps its process.
void RunPackageInstaller(TLauncherHandoff& window);

// Waits for the package installer (blocking), starts the installed launcher and removes
// the downloaded package unless it lies beside the program.
void StartLauncherAfterInstall(TLauncherHandoff& window);
