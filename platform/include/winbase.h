// Kernel services: errors, handles, synchronisation, threads and processes, time,
// modules, files, INI files, console and debugger output.
#pragma once

#include "windef.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "handleapi.h"
#include "libloaderapi.h"
#include "processthreadsapi.h"
#include "profileapi.h"
#include "synchapi.h"
#include "sysinfoapi.h"

// The process's current folder.
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);

// Local memory, as some shell results are handed out.
typedef HANDLE HLOCAL;
HLOCAL LocalFree(HLOCAL memory);

// INI files ("private profiles").
DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue,
                               LPWSTR returnedString, DWORD size, LPCWSTR fileName);
BOOL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR value,
                                LPCWSTR fileName);

// Console and debugger output.
#define STD_INPUT_HANDLE ((DWORD)-10)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define STD_ERROR_HANDLE ((DWORD)-12)
HANDLE GetStdHandle(DWORD stdHandle);
BOOL WriteConsoleW(HANDLE consoleOutput, const void* buffer, DWORD charsToWrite,
                   LPDWORD charsWritten, LPVOID reserved);
void OutputDebugStringW(LPCWSTR outputString);
