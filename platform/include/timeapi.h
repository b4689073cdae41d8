// Timer resolution requests.
#pragma once

#include "windef.h"

typedef UINT MMRESULT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

MMRESULT timeBeginPeriod(UINT periodMs);
MMRESULT timeEndPeriod(UINT periodMs);
