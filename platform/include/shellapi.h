// Shell: opening documents and URLs.
#pragma once

#include "windef.h"

// Opens a document or URL with the desktop's handler; a result above 32 means success.
HINSTANCE ShellExecuteW(HWND window, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, INT showCommand);
