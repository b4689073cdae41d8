// GetModuleHandleW: the program's own module. Its handle is the address the executable
// is mapped at, as a module handle on Windows is the image base.
#include <unistd.h>

#include <string>

#include <windows.h>

#include "internal/nocase.h"
#include "internal/utf.h"

extern "C" char __executable_start;  // set by the linker: the start of the executable image

namespace {

constexpr DWORD kErrorModNotFound = 126;

std::wstring OwnFileName() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return {};
  std::string host(path, static_cast<size_t>(length));
  return kvplat::Utf8ToWide(host.substr(host.find_last_of('/') + 1));
}

std::wstring_view BaseName(std::wstring_view name) {
  size_t slash = name.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? name : name.substr(slash + 1);
}

}  // namespace

// Only the program's own module is loaded: a null name or its file name find it.
HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  auto self = reinterpret_cast<HMODULE>(&__executable_start);
  if (!moduleName) return self;
  if (kvplat::FoldName(BaseName(moduleName)) == kvplat::FoldName(OwnFileName())) return self;
  SetLastError(kErrorModNotFound);
  return nullptr;
}
