// Shell path helpers: joining, removing the file name, existence tests.
#pragma once

#include "windef.h"

BOOL PathRemoveFileSpecW(LPWSTR path);
BOOL PathAppendW(LPWSTR path, LPCWSTR more);
BOOL PathFileExistsW(LPCWSTR path);
