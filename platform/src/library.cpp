// LoadLibraryW, GetProcAddress and FreeLibrary for the system libraries whose entry points
// the program looks up at run time. A module handle names one entry of a fixed table.
#include <atomic>
#include <cstring>
#include <string>

#include "internal/library.h"
#include "internal/nocase.h"

// Window entry points implemented with the windows; weak, so that a build without them
// reports them missing instead of failing to link.
BOOL SetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags) __attribute__((weak));
BOOL UpdateLayeredWindow(HWND window, HDC dest, POINT* destPoint, SIZE* size, HDC source, POINT* sourcePoint,
                         COLORREF key, BLENDFUNCTION* blend, DWORD flags) __attribute__((weak));

namespace kvplat {

namespace {

constexpr DWORD kErrorModNotFound = 126;
constexpr DWORD kErrorProcNotFound = 127;

struct Export {
  const char* name;
  FARPROC proc;
};

struct Library {
  const wchar_t* name;
  const Export* exports;
  size_t exportCount;
  std::atomic<bool> available{true};
};

template <class F>
FARPROC Proc(F function) {
  // Through void(*)(), the generic function pointer type, as callers cast back.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const Export kMsImg32[] = {{"AlphaBlend", Proc(&AlphaBlend)}, {"GradientFill", Proc(&GradientFill)}};
// The documented signatures, named explicitly so that the entries stay unambiguous.
using SetLayeredWindowAttributesFn = BOOL (*)(HWND, COLORREF, BYTE, DWORD);
using UpdateLayeredWindowFn = BOOL (*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
const Export kUser32[] = {
    {"SetLayeredWindowAttributes", Proc(static_cast<SetLayeredWindowAttributesFn>(&SetLayeredWindowAttributes))},
    {"UpdateLayeredWindow", Proc(static_cast<UpdateLayeredWindowFn>(&UpdateLayeredWindow))}};

Library gLibraries[] = {{L"msimg32.dll", kMsImg32, 2}, {L"user32.dll", kUser32, 2}};

// "C:\Windows\System32\MSIMG32.DLL", "msimg32.dll" and "msimg32" name the same library.
Library* FindLibrary(LPCWSTR fileName) {
  if (!fileName) return nullptr;
  std::wstring_view name(fileName);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
  std::wstring withExtension(name);
  if (name.find(L'.') == std::wstring_view::npos) withExtension += L".dll";
  for (Library& library : gLibraries) {
    if (SameNameNoCase(withExtension, library.name)) return &library;
  }
  return nullptr;
}

Library* FromHandle(HMODULE module) {
  for (Library& library : gLibraries) {
    if (reinterpret_cast<HMODULE>(&library) == module) return &library;
  }
  return nullptr;
}

}  // namespace

void SetLibraryAvailable(LPCWSTR name, bool available) {
  if (Library* library = FindLibrary(name)) library->available = available;
}

}  // namespace kvplat

using namespace kvplat;

HMODULE LoadLibraryW(LPCWSTR fileName) {
  Library* library = FindLibrary(fileName);
  if (!library || !library->available) {
    SetLastError(kErrorModNotFound);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(library);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  Library* library = FromHandle(module);
  if (!library) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (procName && !IS_INTRESOURCE(procName)) {
    for (size_t i = 0; i < library->exportCount; ++i) {
      const Export& e = library->exports[i];
      if (std::strcmp(e.name, procName) == 0 && e.proc) return e.proc;
    }
  }
  SetLastError(kErrorProcNotFound);
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  if (!FromHandle(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
