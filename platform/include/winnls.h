// Code-page conversions between wide text and the ANSI code page or UTF-8.
#pragma once

#include "windef.h"

#define CP_ACP 0
#define CP_UTF8 65001

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteStr, int multiByteSize,
                               LPWSTR wideCharStr, int wideCharSize);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideCharStr, int wideCharSize,
                               LPSTR multiByteStr, int multiByteSize, LPCCH defaultChar,
                               LPBOOL usedDefaultChar);
