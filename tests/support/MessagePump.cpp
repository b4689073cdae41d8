#include "support/MessagePump.h"

namespace {

// A thread timer wakes GetMessageW at least this often, so that the time limit is kept
// while no other message arrives.
constexpr UINT kWakeIntervalMs = 20;

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  if (done()) return true;
  const DWORD start = GetTickCount();
  UINT_PTR wake = SetTimer(nullptr, 0, kWakeIntervalMs, nullptr);
  bool reached = false;
  MSG message;
  while (!(reached = done()) && GetTickCount() - start < timeoutMs) {
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  KillTimer(nullptr, wake);
  return reached;
}

void PumpMessagesFor(DWORD durationMs) {
  PumpMessagesUntil([] { return false; }, durationMs);
}
