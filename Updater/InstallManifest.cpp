#include "Updater/InstallManifest.h"

#include <cwchar>
#include <string>

#include "Runtime/FileEx.h"
#include "Runtime/TextUtils.h"

namespace {

// Write access, others may read, handle not inherited, created anew (truncating an
// older copy); 0x8000 asks for untranslated bytes.
constexpr DWORD kManifestOpenFlags = 0x90A1;
constexpr DWORD kValueBufferChars = 2048;
const wchar_t kManifestFileName[] = L"kvinstall.ini";
const wchar_t kSection[] = L"Install";

std::wstring ReadValue(const std::wstring& path, const wchar_t* key) {
  WCHAR buffer[kValueBufferChars] = {};
  DWORD length = GetPrivateProfileStringW(kSection, key, L"", buffer, kValueBufferChars, path.c_str());
  return std::wstring(buffer, length < kValueBufferChars ? length : kValueBufferChars - 1);
}

}  // namespace

std::wstring ManifestPath(const std::wstring& workFolder) {
  return FormatString(L"%s\\%s", workFolder.c_str(), kManifestFileName);
}

void StoreManifest(const std::wstring& workFolder, const std::wstring& text) {
  CFileEx file;
  if (!file.Open(ManifestPath(workFolder).c_str(), kManifestOpenFlags, nullptr)) return;
  static const unsigned char kByteOrderMark[2] = {0xFF, 0xFE};
  const std::string body = WideToUtf16Le(text);
  try {
    file.Seek(0, 0);
    file.Write(kByteOrderMark, sizeof kByteOrderMark);
    file.Write(body.data(), static_cast<DWORD>(body.size()));
    file.Flush();
    file.Close();
  } catch (const CFileExException&) {
    // A failed write abandons the file; the reader then finds what the file holds.
    file.Abort();
  }
}

TInstallManifest ReadManifest(const std::wstring& workFolder) {
  const std::wstring path = ManifestPath(workFolder);
  TInstallManifest manifest;
  manifest.url = ReadValue(path, L"Url");
  manifest.sizeText = ReadValue(path, L"Size");
  manifest.md5 = ReadValue(path, L"Md5");
  manifest.version = ReadValue(path, L"Version");
  return manifest;
}

INT64 PackageSizeFromText(const std::wstring& text) {
  // wcstoll skips leading white space, takes an optional sign and the digits, and
  // saturates at the limits of its 64-bit result.
  return static_cast<INT64>(std::wcstoll(text.c_str(), nullptr, 10));
}
