#include "Updater/UpdaterConfig.h"

#include <windows.h>
#include <processenv.h>

#include "kv_config.h"

namespace {

const wchar_t kManifestPath[] = L"/kvinstall.txt";

// A base URL without its trailing slashes, so that joining gives one slash.
std::wstring WithoutTrailingSlash(std::wstring base) {
  while (!base.empty() && base.back() == L'/') base.pop_back();
  return base;
}

}  // namespace

std::wstring ConfiguredValue(const wchar_t* name, const wchar_t* builtIn) {
  DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed > 1) {
    std::wstring value(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    if (length > 0 && length < needed) {
      value.resize(length);
      return value;
    }
  }
  return builtIn;
}

std::vector<std::wstring> ManifestUrls() {
  return {
      WithoutTrailingSlash(ConfiguredValue(L"KV_MANIFEST_SERVER_PRIMARY", KV_MANIFEST_SERVER_PRIMARY_DEFAULT)) +
          kManifestPath,
      WithoutTrailingSlash(ConfiguredValue(L"KV_MANIFEST_SERVER_FALLBACK", KV_MANIFEST_SERVER_FALLBACK_DEFAULT)) +
          kManifestPath,
  };
}
