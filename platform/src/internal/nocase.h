// Name comparison without regard to case, as Windows compares registry, INI, class,
// property, library and resource names.
#pragma once

#include <cwctype>
#include <string>
#include <string_view>

namespace kvplat {

inline bool SameNameNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// The folded form of a name, for tables keyed by names that compare without regard to
// case (atoms, properties, resource names).
inline std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  for (auto& ch : folded) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
  return folded;
}

}  // namespace kvplat
