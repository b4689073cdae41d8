// Tick count, system time and local time.
#pragma once

#include "windef.h"

DWORD GetTickCount();
ULONGLONG GetTickCount64();
void GetSystemTimeAsFileTime(LPFILETIME systemTime);
void GetLocalTime(LPSYSTEMTIME localTime);
