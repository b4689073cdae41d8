// The registry: keys below HKEY_LOCAL_MACHINE kept in one text file of the prefix,
// "system.reg", in the layout of a registry export (see platform/README.md). Every
// call reads the file, so processes sharing a prefix see each other's writes; writers
// hold a lock file and replace the file in one rename.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "internal/drivemap.h"
#include "internal/nocase.h"
#include "internal/utf.h"

namespace {

constexpr wchar_t kRootName[] = L"HKEY_LOCAL_MACHINE";
constexpr char kHeader[] = "Windows Registry Editor Version 5.00";

// A value as RegQueryValueExW hands it out: string types as WCHAR units.
struct Value {
  std::wstring name;
  DWORD type = 0;
  std::string data;
};

struct Key {
  std::wstring path;  // full path from HKEY_LOCAL_MACHINE, as first written
  std::vector<Value> values;
};

constexpr DWORD kRegMultiSz = 7;  // REG_MULTI_SZ: no caller writes one, but a file may hold it

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == kRegMultiSz; }

std::string WideBytes(std::wstring_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(WCHAR));
}

std::wstring BytesWide(std::string_view bytes) {
  std::wstring text(bytes.size() / sizeof(WCHAR), L'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * sizeof(WCHAR));
  return text;
}

// ---- the file -------------------------------------------------------------------------

std::string RegistryFile() { return kvplat::PrefixRoot() + "/system.reg"; }

std::string HexList(std::string_view bytes) {
  std::string out;
  char part[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(part, sizeof part, i ? ",%02x" : "%02x", static_cast<unsigned char>(bytes[i]));
    out += part;
  }
  return out;
}

std::string ParseHexList(std::string_view text) {
  std::string bytes;
  size_t i = 0;
  for (;;) {
    while (i < text.size() && (text[i] == ',' || text[i] == ' ')) ++i;
    if (i + 2 > text.size()) break;
    bytes += static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
    i += 2;
  }
  return bytes;
}

// A string written as "text": only when it is one string with its terminator.
bool WritesAsText(const Value& value, std::wstring& text) {
  if (value.type != REG_SZ) return false;
  text = BytesWide(value.data);
  if (text.empty() || text.back() != L'\0') return false;
  text.pop_back();
  return text.find_first_of(std::wstring(L"\0\r\n", 3)) == std::wstring::npos;
}

std::string QuoteName(std::wstring_view name) {
  std::string out = "\"";
  for (char c : kvplat::WideToUtf8(name)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string ValueLine(const Value& value) {
  std::string line = value.name.empty() ? "@" : QuoteName(value.name);
  std::wstring text;
  if (WritesAsText(value, text)) return line + "=" + QuoteName(text);
  std::string bytes = value.data;
  if (IsStringType(value.type)) bytes = kvplat::WideToUtf16Le(BytesWide(value.data));
  char type[24];
  std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
  return line + "=" + type + HexList(bytes);
}

// A quoted name at text[i]; returns the position after its closing quote.
size_t ReadQuoted(const std::string& text, size_t i, std::wstring& out) {
  std::string raw;
  for (++i; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    raw += text[i];
  }
  out = kvplat::Utf8ToWide(raw);
  return i + 1;
}

bool ParseValue(const std::string& line, Value& value) {
  size_t i = 0;
  if (line[0] == '@') i = 1;
  else i = ReadQuoted(line, 0, value.name);
  if (i >= line.size() || line[i] != '=') return false;
  std::string rest = line.substr(i + 1);
  if (!rest.empty() && rest[0] == '"') {
    std::wstring text;
    ReadQuoted(rest, 0, text);
    value.type = REG_SZ;
    value.data = WideBytes(text + L'\0');
    return true;
  }
  size_t colon = rest.find(':');
  if (rest.compare(0, 4, "hex(") != 0 || colon == std::string::npos) return false;
  value.type = static_cast<DWORD>(std::stoul(rest.substr(4), nullptr, 16));
  value.data = ParseHexList(std::string_view(rest).substr(colon + 1));
  if (IsStringType(value.type)) value.data = WideBytes(kvplat::Utf16LeToWide(value.data));
  return true;
}

std::vector<Key> LoadKeys() {
  std::vector<Key> keys;
  std::ifstream in(RegistryFile(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      keys.push_back({kvplat::Utf8ToWide(line.substr(1, line.size() - 2)), {}});
    } else if (!keys.empty() && (line.starts_with('"') || line.starts_with('@'))) {
      Value value;
      try {
        if (ParseValue(line, value)) keys.back().values.push_back(std::move(value));
      } catch (const std::exception&) {
        // A damaged line loses only its own value.
      }
    }
  }
  return keys;
}

bool SaveKeys(const std::vector<Key>& keys) {
  std::ostringstream out;
  out << kHeader << "\n";
  for (const auto& key : keys) {
    out << "\n[" << kvplat::WideToUtf8(key.path) << "]\n";
    for (const auto& value : key.values) out << ValueLine(value) << "\n";
  }
  std::string file = RegistryFile();
  std::string temp = file + ".tmp";
  {
    std::ofstream stream(temp, std::ios::binary | std::ios::trunc);
    stream << out.str();
    if (!stream.flush()) return false;
  }
  return std::rename(temp.c_str(), file.c_str()) == 0;
}

// Serialises writers: one in this process at a time, and across processes by a lock
// file beside the registry.
class WriteLock {
 public:
  WriteLock() : guard_(Mutex()) {
    fd_ = open((RegistryFile() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~WriteLock() {
    if (fd_ >= 0) close(fd_);
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> guard_;
  int fd_ = -1;
};

Key* FindKey(std::vector<Key>& keys, std::wstring_view path) {
  for (auto& key : keys)
    if (kvplat::SameNameNoCase(key.path, path)) return &key;
  return nullptr;
}

bool KeyExists(std::vector<Key>& keys, std::wstring_view path) {
  if (kvplat::SameNameNoCase(path, kRootName) || FindKey(keys, path)) return true;
  std::wstring below = std::wstring(path) + L"\\";
  for (const auto& key : keys)
    if (key.path.size() > below.size() && kvplat::SameNameNoCase(key.path.substr(0, below.size()), below)) return true;
  return false;
}

// ---- handles --------------------------------------------------------------------------

struct OpenKey {
  std::wstring path;
  REGSAM access = 0;
};

struct KeyTable {
  std::mutex mutex;
  std::map<uintptr_t, OpenKey> keys;
  uintptr_t next = 0x2000;
};

KeyTable& Keys() {
  static KeyTable* table = new KeyTable;  // outlives static destructors of callers
  return *table;
}

// The path and access of a key handle; false for an unknown handle.
bool LookupKey(HKEY key, OpenKey& out) {
  if (key == HKEY_LOCAL_MACHINE) {
    out = {kRootName, KEY_ALL_ACCESS};
    return true;
  }
  auto& table = Keys();
  std::lock_guard lock(table.mutex);
  auto it = table.keys.find(reinterpret_cast<uintptr_t>(key));
  if (it == table.keys.end()) return false;
  out = it->second;
  return true;
}

HKEY NewKeyHandle(const std::wstring& path, REGSAM access) {
  auto& table = Keys();
  std::lock_guard lock(table.mutex);
  uintptr_t id = table.next;
  table.next += 4;
  table.keys[id] = {path, access};
  return reinterpret_cast<HKEY>(id);
}

// The full path of parent\subKey with empty components dropped; false when the parent
// handle is unknown.
bool JoinPath(HKEY parent, LPCWSTR subKey, OpenKey& parentKey, std::wstring& path) {
  if (!LookupKey(parent, parentKey)) return false;
  path = parentKey.path;
  std::wstring_view rest = subKey ? subKey : L"";
  while (!rest.empty()) {
    size_t cut = rest.find(L'\\');
    std::wstring_view part = rest.substr(0, cut);
    if (!part.empty()) path += L"\\" + std::wstring(part);
    rest = cut == std::wstring_view::npos ? std::wstring_view() : rest.substr(cut + 1);
  }
  return true;
}

// The prefix of path up to each separator: the keys a new key needs above it.
std::vector<std::wstring> KeyChain(const std::wstring& path) {
  std::vector<std::wstring> chain;
  for (size_t cut = path.find(L'\\'); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1))
    chain.push_back(path.substr(0, cut));
  chain.push_back(path);
  return chain;
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  std::wstring path;
  if (!JoinPath(key, subKey, parent, path)) return ERROR_INVALID_HANDLE;
  std::vector<Key> keys = LoadKeys();
  if (!KeyExists(keys, path)) return ERROR_FILE_NOT_FOUND;
  *result = NewKeyHandle(path, desired);
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
  if (!subKey) return RegOpenKeyExW(key, nullptr, options, desired, result);
  int length = MultiByteToWideChar(CP_ACP, 0, subKey, -1, nullptr, 0);
  if (length <= 0) return ERROR_NO_UNICODE_TRANSLATION;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, subKey, -1, wide.data(), length);
  return RegOpenKeyExW(key, wide.c_str(), options, desired, result);
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM desired,
                        LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  OpenKey parent;
  std::wstring path;
  if (!JoinPath(key, subKey, parent, path)) return ERROR_INVALID_HANDLE;
  WriteLock lock;
  std::vector<Key> keys = LoadKeys();
  bool existed = KeyExists(keys, path);
  bool added = false;
  for (const auto& step : KeyChain(path)) {
    if (kvplat::SameNameNoCase(step, kRootName) || FindKey(keys, step)) continue;
    keys.push_back({step, {}});
    added = true;
  }
  if (added && !SaveKeys(keys)) return ERROR_WRITE_FAULT;
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewKeyHandle(path, desired);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize) {
  OpenKey open;
  if (!LookupKey(key, open)) return ERROR_INVALID_HANDLE;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::vector<Key> keys = LoadKeys();
  Key* found = FindKey(keys, open.path);
  const Value* value = nullptr;
  if (found)
    for (const auto& v : found->values)
      if (kvplat::SameNameNoCase(v.name, valueName ? valueName : L"")) value = &v;
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  if (!dataSize) return ERROR_SUCCESS;
  DWORD needed = static_cast<DWORD>(value->data.size());
  bool fits = *dataSize >= needed;
  *dataSize = needed;
  if (!data) return ERROR_SUCCESS;
  if (!fits) return ERROR_MORE_DATA;
  std::memcpy(data, value->data.data(), needed);
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                       DWORD dataSize) {
  OpenKey open;
  if (!LookupKey(key, open)) return ERROR_INVALID_HANDLE;
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::string bytes(reinterpret_cast<const char*>(data), dataSize);
  // String data is kept in whole characters.
  if (IsStringType(type)) bytes.resize(bytes.size() / sizeof(WCHAR) * sizeof(WCHAR));
  WriteLock lock;
  std::vector<Key> keys = LoadKeys();
  Key* target = FindKey(keys, open.path);
  if (!target) {  // a key known only as the parent of others gets its own section
    keys.push_back({open.path, {}});
    target = &keys.back();
  }
  std::wstring name = valueName ? valueName : L"";
  auto& values = target->values;
  auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) { return kvplat::SameNameNoCase(v.name, name); });
  if (it == values.end()) it = values.insert(values.end(), Value{name, type, {}});
  it->type = type;
  it->data = std::move(bytes);
  return SaveKeys(keys) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

LSTATUS RegCloseKey(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  auto& table = Keys();
  std::lock_guard lock(table.mutex);
  return table.keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
