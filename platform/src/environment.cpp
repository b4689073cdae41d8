// The process environment, read through the C library so that values set with setenv
// by the same process are seen.
#include <processenv.h>
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "internal/utf.h"

namespace {

constexpr DWORD kErrorEnvVarNotFound = 203;

}  // namespace

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
  const char* raw = name ? std::getenv(kvplat::WideToUtf8(name).c_str()) : nullptr;
  if (!raw) {
    SetLastError(kErrorEnvVarNotFound);
    return 0;
  }
  const std::wstring value = kvplat::Utf8ToWide(raw);
  const DWORD length = static_cast<DWORD>(value.size());
  if (!buffer || size <= length) return length + 1;
  std::wmemcpy(buffer, value.c_str(), length + 1);
  return length;
}
