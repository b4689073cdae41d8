// Files: opening with access, sharing and creation modes, reading, writing, positions, sizes; deleting, moving and finding files; free disk space.
#pragma once

#include "windef.h"

// Access rights.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u

// Sharing modes: what other opens of the same file may do while this handle is open.
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

// Creation dispositions.
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

// File attributes.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

// Move methods of SetFilePointer and SetFilePointerEx.
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

// Asynchronous I/O is not supported: callers pass NULL.
typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, PLONG distanceToMoveHigh,
                     DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distanceToMove, PLARGE_INTEGER newFilePointer,
                      DWORD moveMethod);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize);

BOOL DeleteFileW(LPCWSTR fileName);

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);

typedef struct _WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;

// Finds the first entry matching a path whose last part may hold the wildcards * and ?.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData);
BOOL FindClose(HANDLE findFile);

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes);
