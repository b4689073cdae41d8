// Shell: opening documents and URLs.
#pragma once

#include "windef.h"

// Opens a document or URL with the desktop's handler; a result above 32 means success.
HINSTANCE ShellExecuteW(HWND window, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, INT showCommand);

// Splits a command line into arguments by the Windows rules; the array and its strings
// are one block, freed with LocalFree. An empty line gives the program's own path.
LPWSTR* CommandLineToArgvW(LPCWSTR commandLine, int* argumentCount);
