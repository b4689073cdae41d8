// INI files ("private profiles"): GetPrivateProfileStringW and WritePrivateProfileStringW.
// Files may be UTF-16LE with a byte-order mark, UTF-8 (with or without one) or in the
// ANSI code page; a write keeps the file's encoding (new files are UTF-8).
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "internal/drivemap.h"
#include "internal/nocase.h"
#include "internal/errors.h"
#include "internal/utf.h"

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16Le };

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16Bom[] = "\xFF\xFE";

struct IniText {
  Encoding encoding = Encoding::Utf8;
  std::vector<std::wstring> lines;
};

// A bare file name lives in the Windows folder, as Windows looks it up.
std::string HostFileName(LPCWSTR fileName) {
  std::wstring name = fileName;
  if (name.find_first_of(L"\\/:") == std::wstring::npos) name = L"C:\\Windows\\" + name;
  return kvplat::ToHostPath(name);
}

// Bytes in the ANSI code page: the codeset of the process locale.
std::wstring AnsiToWide(const std::string& bytes) {
  int size = static_cast<int>(bytes.size());
  int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring text(static_cast<size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
  return text;
}

std::wstring DecodeText(const std::string& bytes, Encoding& encoding) {
  if (bytes.starts_with(kUtf16Bom)) {
    encoding = Encoding::Utf16Le;
    return kvplat::Utf16LeToWide(std::string_view(bytes).substr(2));
  }
  if (bytes.starts_with(kUtf8Bom)) {
    encoding = Encoding::Utf8Bom;
    return kvplat::Utf8ToWide(std::string_view(bytes).substr(3));
  }
  encoding = Encoding::Utf8;
  std::wstring text = kvplat::Utf8ToWide(bytes);
  // Text that is not UTF-8 is in the ANSI code page.
  bool replaced = text.find(L'\xFFFD') != std::wstring::npos;
  if (replaced && bytes.find("\xEF\xBF\xBD") == std::string::npos) return AnsiToWide(bytes);
  return text;
}

// A text that carried its own byte-order mark before being re-encoded (a UTF-8 file
// saved again as UTF-16) starts with U+FEFF after the file's mark. It is encoding noise,
// never content, and left in place it would hide the first section header.
std::wstring Decode(const std::string& bytes, Encoding& encoding) {
  std::wstring text = DecodeText(bytes, encoding);
  if (!text.empty() && text.front() == L'\xFEFF') text.erase(0, 1);
  return text;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (wchar_t c : text) {
    if (c == L'\n') {
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::optional<IniText> Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  IniText ini;
  ini.lines = SplitLines(Decode(bytes.str(), ini.encoding));
  return ini;
}

bool Save(const std::string& path, const IniText& ini) {
  std::wstring text;
  for (const auto& line : ini.lines) text += line + L"\r\n";
  std::string bytes;
  if (ini.encoding == Encoding::Utf16Le) bytes = kUtf16Bom + kvplat::WideToUtf16Le(text);
  else bytes = (ini.encoding == Encoding::Utf8Bom ? kUtf8Bom : "") + kvplat::WideToUtf8(text);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::wstring Trim(std::wstring_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::iswspace(text[begin])) ++begin;
  while (end > begin && std::iswspace(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

// The section a line opens, if it is a section line.
std::optional<std::wstring> SectionOf(const std::wstring& line) {
  std::wstring trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] != L'[') return std::nullopt;
  size_t close = trimmed.find(L']');
  return Trim(std::wstring_view(trimmed).substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
}

// The key of a "key=value" line, and its value.
bool SplitEntry(const std::wstring& line, std::wstring& key, std::wstring& value) {
  size_t equals = line.find(L'=');
  if (equals == std::wstring::npos) return false;
  key = Trim(std::wstring_view(line).substr(0, equals));
  value = Trim(std::wstring_view(line).substr(equals + 1));
  return !key.empty() && key[0] != L';';
}

// Line index ranges of the named sections: [header, end).
std::vector<std::pair<size_t, size_t>> SectionRanges(const IniText& ini, std::wstring_view section) {
  std::vector<std::pair<size_t, size_t>> ranges;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    auto name = SectionOf(ini.lines[i]);
    if (!name) continue;
    if (!ranges.empty() && ranges.back().second == SIZE_MAX) ranges.back().second = i;
    if (kvplat::SameNameNoCase(*name, section)) ranges.push_back({i, SIZE_MAX});
  }
  if (!ranges.empty() && ranges.back().second == SIZE_MAX) ranges.back().second = ini.lines.size();
  return ranges;
}

std::optional<size_t> FindKeyLine(const IniText& ini, std::wstring_view section, std::wstring_view key) {
  std::wstring name, value;
  for (auto [begin, end] : SectionRanges(ini, section))
    for (size_t i = begin + 1; i < end; ++i)
      if (SplitEntry(ini.lines[i], name, value) && kvplat::SameNameNoCase(name, key)) return i;
  return std::nullopt;
}

std::wstring Unquote(std::wstring value) {
  if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

DWORD CopyOut(const std::wstring& text, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  DWORD count = static_cast<DWORD>(std::min<size_t>(text.size(), size - 1));
  std::wmemcpy(buffer, text.data(), count);
  buffer[count] = L'\0';
  SetLastError(count < text.size() ? ERROR_MORE_DATA : ERROR_SUCCESS);
  return count;
}

void SetEntry(IniText& ini, const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  std::wstring entry = key + L"=" + value;
  if (auto line = FindKeyLine(ini, section, key)) {
    std::wstring existing, old;
    SplitEntry(ini.lines[*line], existing, old);
    ini.lines[*line] = existing + L"=" + value;  // the key keeps its spelling
    return;
  }
  auto ranges = SectionRanges(ini, section);
  if (ranges.empty()) {
    ini.lines.push_back(L"[" + section + L"]");
    ini.lines.push_back(entry);
    return;
  }
  // After the section's last non-blank line, so blank separators stay below it.
  size_t at = ranges[0].second;
  while (at > ranges[0].first + 1 && Trim(ini.lines[at - 1]).empty()) --at;
  ini.lines.insert(ini.lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

void RemoveSection(IniText& ini, const std::wstring& section) {
  auto ranges = SectionRanges(ini, section);
  for (auto it = ranges.rbegin(); it != ranges.rend(); ++it)
    ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(it->first),
                    ini.lines.begin() + static_cast<std::ptrdiff_t>(it->second));
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultValue,
                               LPWSTR returnedString, DWORD size, LPCWSTR fileName) {
  // Listing section or key names has no caller.
  if (!appName || !keyName || !fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring fallback = defaultValue ? defaultValue : L"";
  while (!fallback.empty() && fallback.back() == L' ') fallback.pop_back();
  std::string path = HostFileName(fileName);
  auto ini = Load(path);
  if (!ini) {
    DWORD count = CopyOut(fallback, returnedString, size);
    SetLastError(kvplat::ErrorFromErrnoForPath(ENOENT, path));
    return count;
  }
  std::wstring key, value;
  auto line = FindKeyLine(*ini, appName, keyName);
  if (!line || !SplitEntry(ini->lines[*line], key, value)) {
    DWORD count = CopyOut(fallback, returnedString, size);
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_FILE_NOT_FOUND);
    return count;
  }
  return CopyOut(Unquote(value), returnedString, size);
}

BOOL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR value, LPCWSTR fileName) {
  if (!appName || !fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = HostFileName(fileName);
  IniText ini = Load(path).value_or(IniText{});
  if (!keyName) {
    RemoveSection(ini, appName);
  } else if (!value) {
    if (auto line = FindKeyLine(ini, appName, keyName))
      ini.lines.erase(ini.lines.begin() + static_cast<std::ptrdiff_t>(*line));
  } else {
    SetEntry(ini, appName, keyName, value);
  }
  if (!Save(path, ini)) {
    kvplat::SetLastErrorFromErrno(errno, path);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
