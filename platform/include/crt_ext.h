// The C runtime's Microsoft extensions the program uses (wide formatting with the Windows conventions, _wtoi64 and friends, _wcsicmp ...), which MSVC declares in its stdio.h, stdlib.h and wchar.h.
#pragma once

#include "windef.h"


// ---------------------------------------------------------------------------------------
// Wide formatting with the Windows conventions, number conversions, comparisons.
// ---------------------------------------------------------------------------------------


// (end of formatting, conversions and comparisons)

// ---------------------------------------------------------------------------------------
// Files (_wfopen).
// ---------------------------------------------------------------------------------------

#include <stdio.h>

// Opens a stream on a Windows path; mode as the CRT takes it ("r", "wb", "a+", "wxN":
// b and t are accepted and alike, N makes the handle not inherited, x creates a new
// file only). Returns NULL with errno set on failure.
FILE* _wfopen(const wchar_t* fileName, const wchar_t* mode);
// Positions of files beyond 2 GiB.
int _fseeki64(FILE* stream, long long offset, int origin);
long long _ftelli64(FILE* stream);

// (end of files)
