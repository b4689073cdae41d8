#include "InstallerApp.h"

#include <commctrl.h>
#include <ole2.h>

#include <climits>
#include <cwctype>

#include "Http/HttpChannels.h"
#include "Runtime/MainThread.h"
#include "ui/framework/SkinResources.h"

namespace {

constexpr UINT_PTR kKeepAliveTimerId = 508;  // only the value passed: the system picks the id
constexpr UINT kKeepAliveMs = 1000;

// Set once the dispatch is initialised; never cleared, so a second start does not
// initialise it again.
bool dispatchStarted = false;
// The HTTP channels and their scheduler timer run between start and stop.
bool httpStarted = false;
UINT_PTR schedulerTimer = 0;

// The thread timer only keeps the loop ticking; it has nothing to do.
void CALLBACK KeepAliveProc(HWND, UINT, UINT_PTR, DWORD) {}

}  // namespace

InstallerApp& TheInstallerApp() {
  static InstallerApp app;
  return app;
}

// Saturates like _wtoi instead of overflowing: INT_MAX and INT_MIN, then 16 bits.
WORD ParseGameId(const std::wstring& commandLine) {
  size_t i = 0;
  while (i < commandLine.size() && std::iswspace(static_cast<wint_t>(commandLine[i]))) ++i;
  bool negative = false;
  if (i < commandLine.size() && (commandLine[i] == L'+' || commandLine[i] == L'-')) {
    negative = commandLine[i] == L'-';
    ++i;
  }
  long long value = 0;
  for (; i < commandLine.size() && commandLine[i] >= L'0' && commandLine[i] <= L'9'; ++i) {
    value = value * 10 + (commandLine[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<WORD>(static_cast<int>(value));
}

void PrepareInstaller(InstallerApp& app, const std::wstring& commandLine) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!commandLine.empty()) app.gameId = ParseGameId(commandLine);
}

bool StartRuntime(InstallerApp& app, CMainDlg* mainWindow) {
  app.mainWindow = mainWindow;
  app.keepAliveTimer = SetTimer(nullptr, kKeepAliveTimerId, kKeepAliveMs, KeepAliveProc);
  if (!dispatchStarted) {
    dispatchStarted = true;
    InitMainThreadDispatch();
  }
  if (!httpStarted) {
    httpStarted = true;
    schedulerTimer = SetTimer(nullptr, kHttpTimerId, kHttpTimerPeriodMs, HttpTimerProc);
    InitCommandChannel();
    InitDownloadChannel();
  }
  return true;
}

bool StopRuntime(InstallerApp& app) {
  app.mainWindow = nullptr;
  if (app.keepAliveTimer != 0) {
    KillTimer(nullptr, app.keepAliveTimer);
    app.keepAliveTimer = 0;
  }
  ShutdownMainThreadDispatch();
  if (httpStarted) {
    ShutdownCommandChannel();
    ShutdownDownloadChannel();
    KillTimer(nullptr, schedulerTimer);
    schedulerTimer = 0;
    httpStarted = false;
  }
  return true;
}

bool InitializeCom() {
  CoInitialize(nullptr);
  OleInitialize(nullptr);
  return SUCCEEDED(CoInitialize(nullptr));
}

// No accelerator table: TranslateAcceleratorW never consumes a message here.
WPARAM RunMessageLoop() {
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateAcceleratorW(msg.hwnd, nullptr, &msg);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.wParam;
}

void ShutdownInstaller(InstallerApp& app) {
  SkinUI::CSkinResources::CloseResourceArchive();
  StopRuntime(app);
  OleUninitialize();
}
