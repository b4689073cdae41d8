// The executable's resource table. The build embeds each resource file into the program
// (cmake/KvResources.cmake) and registers it here before main runs.
#pragma once

#include <windows.h>

namespace kvplat {

// type and name are strings or MAKEINTRESOURCEW ids; data must live as long as the
// process (it is the program's read-only data).
void RegisterModuleResource(LPCWSTR type, LPCWSTR name, const void* data, DWORD size);

}  // namespace kvplat
