// The C runtime's Microsoft extensions the program uses (wide formatting with the Windows conventions, _wtoi64 and friends, _wcsicmp ...), which MSVC declares in its stdio.h, stdlib.h and wchar.h.
#pragma once

#include "windef.h"


// ---------------------------------------------------------------------------------------
// Wide formatting with the Windows conventions, number conversions, comparisons.
// ---------------------------------------------------------------------------------------

#include <cstdarg>
#include <cstddef>

// The calling source file as a wide string literal, as the Microsoft compiler provides it.
#ifndef __FILEW__
#define KV_WIDEN_LITERAL_(text) L##text
#define KV_WIDEN_LITERAL(text) KV_WIDEN_LITERAL_(text)
#define __FILEW__ KV_WIDEN_LITERAL(__FILE__)
#endif

// Wide printf-style formatting: %s and %c take wide text, %S and %C narrow text (in the
// ANSI code page), %hs/%ls and %hc/%lc say so explicitly; %ld is 32 bits, %lld, %I64d and
// %I64u are 64, %I32d is 32 and %Id pointer-sized; %p prints every hexadecimal digit.
// An invalid format gives -1.
//
// _snwprintf stores at most count characters: when the text is shorter than count it is
// terminated and its length returned; when it is exactly count long it is stored without
// terminator and count returned; when it is longer, count characters are stored without
// terminator and -1 returned. A null buffer with count 0 gives the length.
int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
int _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...);
// The length of the formatted text, without terminator.
int _vscwprintf(const wchar_t* format, va_list args);
int _scwprintf(const wchar_t* format, ...);
// Formats into a buffer of at most 1024 characters (longer text is cut); returns the
// characters stored, without terminator.
int WINAPI wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

// Decimal text to a number: leading white space, an optional sign, digits up to the first
// non-digit; no digits give 0, values out of range saturate.
int _wtoi(const wchar_t* text);
long long _wtoi64(const wchar_t* text);

// Comparisons that ignore the case of ASCII letters; the sign gives the order.
int _wcsicmp(const wchar_t* a, const wchar_t* b);
int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t count);
int _stricmp(const char* a, const char* b);


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
