// SHBrowseForFolderW: the shell's folder picker. A message-only window stands in for the
// dialog so that the caller's callback can select a folder and set the status text by
// messages, as it does with the real dialog; the choice itself is made by the desktop's
// folder chooser, or by the test hook.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <string>

#include "internal/drivemap.h"
#include "internal/folderpicker.h"
#include "internal/itemlist.h"
#include "internal/spawn.h"
#include "internal/utf.h"

namespace kvplat {
namespace {

const wchar_t kPickerClass[] = L"KvFolderPickerDialog";

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

FolderPickerHook& Hook() {
  static FolderPickerHook hook;
  return hook;
}

bool IsHeadless() {
  const char* backend = std::getenv("KV_BACKEND");
  return backend && std::string(backend) == "headless";
}

std::optional<std::string> AnswerFromEnvironment() {
  const char* answer = std::getenv("KV_PICK_FOLDER");
  if (!answer || !*answer) return std::nullopt;
  return std::string(answer);
}

// Runs zenity's directory chooser and reads the chosen path from its output.
std::optional<std::string> AskZenity(const FolderPickerRequest& request) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
  SpawnRequest spawn;
  spawn.program = "zenity";
  spawn.args = {"zenity", "--file-selection", "--directory", "--title=" + WideToUtf8(request.title)};
  if (!request.initialFolder.empty()) spawn.args.push_back("--filename=" + request.initialFolder + "/");
  spawn.stdoutFd = pipeFds[1];
  pid_t pid = 0;
  int error = Spawn(spawn, pid);
  close(pipeFds[1]);
  std::string output;
  char chunk[4096];
  for (ssize_t n; error == 0 && (n = read(pipeFds[0], chunk, sizeof chunk)) != 0;) {
    if (n > 0) output.append(chunk, static_cast<size_t>(n));
    else if (errno != EINTR) break;
  }
  close(pipeFds[0]);
  if (error != 0) return std::nullopt;
  int status = WaitForChild(pid);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || output.empty()) return std::nullopt;
  return output;
}

std::optional<std::string> Ask(const FolderPickerRequest& request) {
  FolderPickerHook hook;
  {
    std::lock_guard lock(HookMutex());
    hook = Hook();
  }
  if (hook) return hook(request);
  return IsHeadless() ? AnswerFromEnvironment() : AskZenity(request);
}

// What the callback sets through the stand-in dialog.
struct PickerState {
  std::wstring selection;
  std::wstring status;
};

LRESULT CALLBACK PickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<PickerState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (state && message == BFFM_SETSELECTIONW) {
    WCHAR path[MAX_PATH];
    if (wParam) state->selection = reinterpret_cast<LPCWSTR>(lParam);
    else if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) state->selection = path;
    return TRUE;
  }
  if (state && message == BFFM_SETSTATUSTEXTW) {
    state->status = reinterpret_cast<LPCWSTR>(lParam);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreatePickerWindow(PickerState& state, LPCWSTR title) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PickerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kPickerClass;
    registered = RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  HWND window = CreateWindowExW(0, kPickerClass, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  return window;
}

// Lets the callback choose the initial folder, and tells it about that selection.
void RunCallback(const BROWSEINFOW& info, HWND window, PickerState& state) {
  if (!info.lpfn || !window) return;
  info.lpfn(window, BFFM_INITIALIZED, 0, info.lParam);
  if (state.selection.empty()) return;
  if (PIDLIST_ABSOLUTE item = NewItemList(state.selection)) {
    info.lpfn(window, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), info.lParam);
    CoTaskMemFree(item);
  }
}

void SetDisplayName(LPWSTR displayName, const std::wstring& path) {
  if (!displayName) return;
  size_t slash = path.find_last_of(L'\\', path.size() > 3 ? path.size() - 2 : std::wstring::npos);
  std::wstring name = path.size() <= 3 ? path : path.substr(slash + 1);
  if (!name.empty() && name.back() == L'\\' && path.size() > 3) name.pop_back();
  wcsncpy(displayName, name.c_str(), MAX_PATH - 1);
  displayName[MAX_PATH - 1] = L'\0';
}

}  // namespace

void SetFolderPickerHook(FolderPickerHook hook) {
  std::lock_guard lock(HookMutex());
  Hook() = std::move(hook);
}

}  // namespace kvplat

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info) {
  if (!info) return nullptr;
  kvplat::PickerState state;
  HWND window = kvplat::CreatePickerWindow(state, info->lpszTitle);
  kvplat::RunCallback(*info, window, state);
  kvplat::FolderPickerRequest request{info->lpszTitle ? info->lpszTitle : L"", ""};
  if (!state.selection.empty()) request.initialFolder = kvplat::ToHostPath(state.selection);
  std::optional<std::string> answer = kvplat::Ask(request);
  if (window) DestroyWindow(window);
  if (!answer) return nullptr;
  while (answer->size() > 1 && answer->back() == '/') answer->pop_back();
  std::wstring chosen = kvplat::ToWindowsPath(*answer);
  kvplat::SetDisplayName(info->pszDisplayName, chosen);
  return kvplat::NewItemList(chosen);
}
