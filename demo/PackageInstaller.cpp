// Stand-in for the publisher's package installer ("kvinstaller.exe"). Run as
//   kvinstaller.exe /S "/unpack=DIR" /launch=off
// it unpacks the files appended to itself (the launcher and its "kvmain.dll") into DIR
// and records the installation where a real one would: the launcher INI file in the
// common application-data folder and the registry. It appends the command line it was
// given (after its own name) as one UTF-8 line to "kvinstaller.runs.txt" beside itself.
// KV_STANDIN_DELAY_MS makes it take that long first, as a real installation does.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Payload.h"
#include "RunRecord.h"

namespace {

struct PackedFile {
  std::wstring name;
  std::string bytes;
};

std::string ReadSelf() {
  WCHAR self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return "";
  FILE* file = _wfopen(self, L"rb");
  if (!file) return "";
  std::string bytes;
  char chunk[65536];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
  fclose(file);
  return bytes;
}

std::wstring FromUtf8(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// The files appended to this program; false when there are none or they are damaged.
bool ReadPayload(std::vector<PackedFile>& files) {
  std::string self = ReadSelf();
  if (self.size() < payload::kTrailerSize) return false;
  size_t trailer = self.size() - payload::kTrailerSize;
  if (self.compare(trailer, 8, payload::kMagic, 8) != 0) return false;
  size_t at = payload::GetNumber(self, trailer + 8, 8);
  while (at < trailer) {
    if (trailer - at < 4) return false;
    size_t nameLength = payload::GetNumber(self, at, 4);
    if (trailer - at - 4 < nameLength + 8) return false;
    std::string name = self.substr(at + 4, nameLength);
    size_t size = payload::GetNumber(self, at + 4 + nameLength, 8);
    at += 12 + nameLength;
    if (trailer - at < size) return false;
    files.push_back({FromUtf8(name), self.substr(at, size)});
    at += size;
  }
  return !files.empty();
}

// The folder of "/unpack=DIR", or "".
std::wstring UnpackFolder(LPCWSTR arguments) {
  std::wstring line = std::wstring(L"kvinstaller.exe ") + arguments;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
  std::wstring folder;
  for (int i = 1; argv && i < count; ++i)
    if (_wcsnicmp(argv[i], L"/unpack=", 8) == 0) folder = argv[i] + 8;
  LocalFree(argv);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

bool Unpack(const std::wstring& folder, const PackedFile& packed) {
  FILE* file = _wfopen((folder + L"\\" + packed.name).c_str(), L"wb");
  if (!file) return false;
  bool written = fwrite(packed.bytes.data(), 1, packed.bytes.size(), file) == packed.bytes.size();
  return fclose(file) == 0 && written;
}

bool RecordInIni(const std::wstring& launcher) {
  PIDLIST_ABSOLUTE item = nullptr;
  WCHAR ini[MAX_PATH] = L"";
  bool named = SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &item)) &&
               SHGetPathFromIDListW(item, ini) && PathAppendW(ini, L"KavroLaucher.ini");
  if (item) CoTaskMemFree(item);
  return named && WritePrivateProfileStringW(L"Kavronet-Launcher", L"InstallPath", launcher.c_str(), ini);
}

bool RecordInRegistry(const std::wstring& folder) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KavroLauncher", 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LSTATUS status = RegSetValueExW(key, L"InstPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                  static_cast<DWORD>((folder.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  AppendRunRecord(L"kvinstaller.runs.txt", commandLine);
  if (const char* delay = std::getenv("KV_STANDIN_DELAY_MS")) Sleep(static_cast<DWORD>(std::atoi(delay)));
  std::wstring folder = UnpackFolder(commandLine);
  std::vector<PackedFile> files;
  if (folder.empty() || !ReadPayload(files)) return 2;
  int created = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS) return 3;
  for (const auto& file : files)
    if (!Unpack(folder, file)) return 4;
  if (!RecordInIni(folder + L"\\KavroLauncher.exe") || !RecordInRegistry(folder)) return 5;
  return 0;
}
