// The calling thread's last-error value.
#pragma once

#include "windef.h"

DWORD GetLastError();
void SetLastError(DWORD errorCode);
