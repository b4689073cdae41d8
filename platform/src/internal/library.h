// The system libraries LoadLibraryW knows. Tests may make one unavailable, as on a
// system without it, to exercise the callers' fallbacks.
#pragma once

#include <windows.h>

namespace kvplat {

void SetLibraryAvailable(LPCWSTR name, bool available);

}  // namespace kvplat
