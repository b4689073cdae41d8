// A message-only test window that records what its procedure receives.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class WindowRecorder {
 public:
  // Creates a window of a recording class (registered once) below `parent`, which is the
  // message-only parent unless given.
  explicit WindowRecorder(HWND parent = HWND_MESSAGE, DWORD style = 0);
  ~WindowRecorder();
  WindowRecorder(const WindowRecorder&) = delete;
  WindowRecorder& operator=(const WindowRecorder&) = delete;

  HWND Handle() const { return handle_; }
  std::vector<Received> Messages() const;
  std::vector<UINT> MessageIds() const;
  void Clear();

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static const wchar_t* ClassName();

 private:
  void Record(UINT message, WPARAM wParam, LPARAM lParam);

  HWND handle_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<Received> messages_;
};

// Dispatches every message waiting now (without blocking); returns how many.
int PumpPending();
