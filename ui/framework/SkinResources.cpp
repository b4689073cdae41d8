#include "ui/framework/SkinResources.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace SkinUI {

namespace {

// Images and other items are bounded so that a damaged size field cannot demand an
// absurd allocation; skin images are far smaller.
constexpr DWORD kMaxResourceBytes = 64u * 1024 * 1024;

}  // namespace

struct CSkinResources::State {
  HMODULE processModule = nullptr;
  HMODULE resourceModule = nullptr;
  std::wstring folder;
  std::wstring archiveName;
  bool keepArchiveOpen = false;
  CSkinArchive* archive = nullptr;
  std::unique_ptr<BYTE[]> image;
  DWORD imageLength = 0;
};

CSkinResources::State& CSkinResources::Get() {
  static State state;
  return state;
}

void CSkinResources::SetProcessModule(HMODULE module) { Get().processModule = module; }
HMODULE CSkinResources::GetProcessModule() { return Get().processModule; }

HMODULE CSkinResources::GetResourceModule() {
  State& s = Get();
  return s.resourceModule ? s.resourceModule : s.processModule;
}

std::wstring CSkinResources::GetModuleFolder() {
  if (!Get().processModule) return std::wstring();
  WCHAR path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameW(Get().processModule, path, MAX_PATH);
  std::wstring folder(path, std::min<DWORD>(length, MAX_PATH));
  size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

void CSkinResources::SetResourceFolder(const std::wstring& path) {
  std::wstring& folder = Get().folder;
  folder = path;
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
}

const std::wstring& CSkinResources::GetResourceFolder() { return Get().folder; }
const std::wstring& CSkinResources::GetResourceArchiveName() { return Get().archiveName; }

void CSkinResources::SetResourceArchive(const std::wstring& name) {
  State& s = Get();
  if (name == s.archiveName && s.keepArchiveOpen && s.archive) return;
  if (s.archive) ZipClose(s.archive);
  s.archiveName = name;
  s.keepArchiveOpen = true;
  s.archive = ZipOpenFile((s.folder + name).c_str());
}

void CSkinResources::SetResourceArchiveMemory() {
  State& s = Get();
  if (s.archiveName == kMemoryArchiveName) return;
  if (s.archive) ZipClose(s.archive);
  s.archiveName = kMemoryArchiveName;
  s.keepArchiveOpen = true;
  s.archive = ZipOpenMemory(s.image.get(), s.imageLength);
}

bool CSkinResources::LoadZipResourceImage(UINT resourceId) {
  State& s = Get();
  if (s.image && s.imageLength) return true;
  HMODULE module = GetResourceModule();
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resourceId), kZipResourceType);
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  DWORD size = SizeofResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return false;
  s.image.reset(new BYTE[size]);
  std::memcpy(s.image.get(), bytes, size);
  s.imageLength = size;
  return true;
}

// The in-memory archive reads from the image, so it is closed with it: a later lookup
// then fails cleanly instead of reading freed memory.
void CSkinResources::ReleaseZipResourceImage() {
  State& s = Get();
  if (s.archive && s.archiveName == kMemoryArchiveName) {
    ZipClose(s.archive);
    s.archive = nullptr;
  }
  s.image.reset();
}

void CSkinResources::CloseResourceArchive() {
  State& s = Get();
  if (s.keepArchiveOpen && s.archive) {
    ZipClose(s.archive);
    s.archive = nullptr;
  }
}

CSkinResources::ReadStatus CSkinResources::ReadArchiveEntry(LPCWSTR name, DWORD maxSize, std::vector<BYTE>& bytes) {
  State& s = Get();
  CSkinArchive* archive = s.keepArchiveOpen ? s.archive : nullptr;
  std::unique_ptr<CSkinArchive, void (*)(CSkinArchive*)> own(nullptr, ZipClose);
  if (!archive && !s.keepArchiveOpen) {
    own.reset(ZipOpenFile((s.folder + s.archiveName).c_str()));
    archive = own.get();
  }
  if (!archive) return ReadStatus::OpenFailed;
  int index = 0;
  DWORD size = 0;
  if (ZipFindEntry(archive, name, &index, &size) != ZipFindResult::Found) return ReadStatus::NotFound;
  if (size == 0) return ReadStatus::Empty;
  if (size > maxSize) return ReadStatus::TooLarge;
  bytes.assign(size, 0);
  if (ZipExtractEntry(archive, index, bytes.data(), size) == ZipExtractResult::Failure) {
    bytes.clear();
    return ReadStatus::ReadFailed;
  }
  return ReadStatus::Ok;
}

CSkinResources::ReadStatus CSkinResources::ReadFileBytes(const std::wstring& path, DWORD maxSize,
                                                         std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReadStatus::OpenFailed;
  std::unique_ptr<void, BOOL (*)(HANDLE)> closer(file, CloseHandle);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return ReadStatus::ReadFailed;
  if (size.QuadPart == 0) return ReadStatus::Empty;
  if (size.QuadPart > maxSize) return ReadStatus::TooLarge;
  bytes.assign(static_cast<size_t>(size.QuadPart), 0);
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
    bytes.clear();
    return ReadStatus::ReadFailed;
  }
  return ReadStatus::Ok;
}

bool CSkinResources::ReadResourceBytes(LPCWSTR name, LPCWSTR resourceType, std::vector<BYTE>& bytes) {
  bytes.clear();
  if (!name) return false;
  State& s = Get();
  if (resourceType) {
    HMODULE module = GetResourceModule();
    HRSRC resource = FindResourceW(module, name, resourceType);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (data && size) {
      bytes.assign(data, data + size);
      FreeResource(loaded);
      return true;
    }
  } else if (!s.archiveName.empty()) {
    if (ReadArchiveEntry(name, kMaxResourceBytes, bytes) == ReadStatus::Ok) return true;
  } else if (ReadFileBytes(s.folder + name, kMaxResourceBytes, bytes) == ReadStatus::Ok) {
    return true;
  }
  if (IS_INTRESOURCE(name)) return false;
  return ReadFileBytes(name, kMaxResourceBytes, bytes) == ReadStatus::Ok;
}

void CSkinResources::Reset() {
  State& s = Get();
  if (s.archive) ZipClose(s.archive);
  s = State();
}

}  // namespace SkinUI
