// The high-resolution performance counter.
#pragma once

#include "windef.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
