// Name comparison without regard to case, as Windows compares registry and INI names.
#pragma once

#include <cwctype>
#include <string_view>

namespace kvplat {

inline bool SameNameNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

}  // namespace kvplat
