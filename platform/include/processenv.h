// The process environment.
#pragma once

#include "windef.h"

// Copies the variable's value into buffer and returns its length without the
// terminator; when the buffer is too small (or null), returns the size it needs,
// terminator included. An unset variable returns 0 with ERROR_ENVVAR_NOT_FOUND.
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
