// The install manifest: the local copy "kvinstall.ini" in the work folder and the four
// values the package updater reads back from it.
#pragma once

#include <string>

#include <windows.h>

// The values of section "Install"; a missing key reads as the empty text.
struct TInstallManifest {
  std::wstring url;
  std::wstring sizeText;
  std::wstring md5;
  std::wstring version;
};

// Full path of the local copy: the work folder, a backslash and "kvinstall.ini".
std::wstring ManifestPath(const std::wstring& workFolder);

// Writes the manifest text as the local copy: byte-order mark FF FE, then the text as
// UTF-16 little-endian code units. Failures are not reported; whatever the file then
// holds is what ReadManifest finds.
void StoreManifest(const std::wstring& workFolder, const std::wstring& text);

// Reads "Url", "Size", "Md5" and "Version" of section "Install" from the local copy with
// the INI reader; each value is at most 2047 characters.
TInstallManifest ReadManifest(const std::wstring& workFolder);

// Converts the "Size" text to a byte count: leading white space, an optional sign, the
// digits up to the first non-digit; no digits gives 0, and values out of range
// saturate at the largest or smallest signed 64-bit number.
INT64 PackageSizeFromText(const std::wstring& text);
