// Runs the calling thread's message loop for a test until a condition holds or a time
// limit passes, so that posted messages, main-thread tasks and timers are handled as
// the program's own loop would handle them.
#pragma once

#include <functional>

#include <windows.h>

// Gets and dispatches messages until `done()` is true (checked before waiting and after
// every message) or `timeoutMs` milliseconds have passed. Returns the last `done()`.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Gets and dispatches messages for `durationMs` milliseconds.
void PumpMessagesFor(DWORD durationMs);
