// Modules: handles, file names, dynamically looked-up entry points and resources.
#pragma once

#include "windef.h"

HMODULE GetModuleHandleW(LPCWSTR moduleName);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);
BOOL FreeResource(HGLOBAL resourceData);
