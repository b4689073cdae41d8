// Shell item lists of the platform: each names one file-system path by its Windows name.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace kvplat {

// A new item list for the path, freed by the caller with CoTaskMemFree; null when the
// path is too long for one item.
PIDLIST_ABSOLUTE NewItemList(const std::wstring& windowsPath);

}  // namespace kvplat
