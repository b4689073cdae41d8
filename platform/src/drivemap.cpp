// The machine prefix and the mapping between Windows paths and host paths.
#include "internal/drivemap.h"

#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "internal/utf.h"

namespace kvplat {
namespace {

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string DriveFolder(wchar_t letter) {
  std::string name = "drive_";
  name += static_cast<char>(std::towlower(letter));
  return PrefixRoot() + "/" + name;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

std::string SlashesToHost(std::wstring_view rest) {
  std::wstring copy(rest);
  for (auto& c : copy)
    if (c == L'\\') c = L'/';
  return WideToUtf8(copy);
}

}  // namespace

std::string PrefixRoot() {
  if (const char* prefix = std::getenv("KV_PREFIX"); prefix && *prefix)
    return StripTrailingSlashes(prefix);
  std::string data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    data = xdg;
  } else {
    const char* home = std::getenv("HOME");
    data = std::string(home && *home ? home : "/tmp") + "/.local/share";
  }
  return StripTrailingSlashes(data) + "/kavro-prefix";
}

bool OpenPrefix() {
  std::error_code ec;
  std::filesystem::create_directories(DriveFolder(L'c') + "/ProgramData", ec);
  return std::filesystem::is_directory(DriveFolder(L'c'), ec);
}

std::string DriveRoot(wchar_t letter) {
  if (!IsDriveLetter(letter)) return "";
  if (std::towlower(letter) == L'z') return "/";
  std::string folder = DriveFolder(letter);
  std::error_code ec;
  return std::filesystem::is_directory(folder, ec) ? folder : "";
}

std::string ToHostPath(std::wstring_view path) {
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':') {
    std::wstring_view rest = path.substr(2);
    while (!rest.empty() && (rest.front() == L'\\' || rest.front() == L'/')) rest.remove_prefix(1);
    std::string root = std::towlower(path[0]) == L'z' ? "" : DriveFolder(path[0]);
    if (rest.empty()) return root.empty() ? "/" : root;
    return root + "/" + SlashesToHost(rest);
  }
  return SlashesToHost(path);
}

std::wstring ToWindowsPath(std::string_view hostPath) {
  std::string absolute(hostPath);
  if (absolute.empty() || absolute.front() != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) absolute = StripTrailingSlashes(cwd) + "/" + absolute;
  }
  std::string drives = PrefixRoot() + "/drive_";
  if (absolute.compare(0, drives.size(), drives) == 0 && absolute.size() > drives.size()) {
    char letter = absolute[drives.size()];
    size_t after = drives.size() + 1;
    if (letter >= 'a' && letter <= 'y' && (absolute.size() == after || absolute[after] == '/')) {
      std::wstring name;
      name += static_cast<wchar_t>(std::towupper(letter));
      name += L":\\";
      std::wstring rest = Utf8ToWide(absolute.substr(std::min(after + 1, absolute.size())));
      for (auto& c : rest)
        if (c == L'/') c = L'\\';
      return name + rest;
    }
  }
  std::wstring name = L"Z:" + Utf8ToWide(absolute);
  for (auto& c : name)
    if (c == L'/') c = L'\\';
  return name;
}

}  // namespace kvplat
