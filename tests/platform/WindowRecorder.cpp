#include "WindowRecorder.h"

namespace {

// The recorder comes with the creation parameters and lives in the user data.
WindowRecorder* RecorderOf(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* recorder =
        static_cast<WindowRecorder*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(recorder));
    return recorder;
  }
  return reinterpret_cast<WindowRecorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

const wchar_t* WindowRecorder::ClassName() {
  static const wchar_t* name = [] {
    WNDCLASSW info{};
    info.lpfnWndProc = &WindowRecorder::Proc;
    info.lpszClassName = L"TestRecorderWindow";
    RegisterClassW(&info);
    return L"TestRecorderWindow";
  }();
  return name;
}

WindowRecorder::WindowRecorder(HWND parent, DWORD style) {
  handle_ = CreateWindowExW(0, ClassName(), L"", style, 0, 0, 0, 0, parent, nullptr,
                            GetModuleHandleW(nullptr), this);
}

WindowRecorder::~WindowRecorder() {
  if (IsWindow(handle_)) DestroyWindow(handle_);
}

LRESULT CALLBACK WindowRecorder::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto* recorder = RecorderOf(window, message, lParam)) {
    recorder->Record(message, wParam, lParam);
    if (message == WM_NCDESTROY) recorder->handle_ = nullptr;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void WindowRecorder::Record(UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(mutex_);
  messages_.push_back({message, wParam, lParam});
}

std::vector<Received> WindowRecorder::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<UINT> WindowRecorder::MessageIds() const {
  std::vector<UINT> ids;
  for (const auto& item : Messages()) ids.push_back(item.message);
  return ids;
}

void WindowRecorder::Clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}

int PumpPending() {
  int count = 0;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    DispatchMessageW(&msg);
    ++count;
  }
  return count;
}
