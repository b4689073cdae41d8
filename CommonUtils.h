// Small file-system and formatting helpers of the installer: the program's folder, file
// sizes, folders, delete and move, byte counts for the window, fixed-buffer paths and the
// folder picker. Main thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Folder of the running program without a trailing backslash; "" when it cannot be
// found (then it is looked up again next time).
std::wstring GetExeFolder();

// Size of a file in bytes, or -1 when it can neither be opened nor found.
int64_t GetFileSize64(const std::wstring& path);

// Makes sure a folder exists, creating missing parents.
bool CreateDir(const std::wstring& path);

// True when the file is absent afterwards; a failed delete pauses 1 ms.
bool DeleteFileRetry(const std::wstring& path);

// Moves source onto target, replacing it; false when the source is missing or the move
// fails (after a 1 ms pause).
bool MoveFileRetry(const std::wstring& source, const std::wstring& target);

// A byte count as the window shows it: "999B", "0.98KB", "120.00MB" ...
std::wstring FormatSize(uint64_t bytes);

// Wide printf-style formatting into a caller buffer of count characters (the callers
// use 2048); returns the characters written, or -1 when the text was cut to fit. The
// buffer is always terminated.
int FormatFixedPath(wchar_t* buffer, size_t count, const wchar_t* format, ...);

// The shell's folder picker, opened on initial; the chosen folder with a trailing
// backslash, or "" when cancelled.
std::wstring BrowseForFolder(HWND owner, const std::wstring& initial);
