// Module resources: FindResourceW and friends over the table the build registers. Every
// resource belongs to the executable, so the module handle is not consulted. Names and
// types are numeric ids or strings compared without regard to ASCII case.
#include <mutex>
#include <string>
#include <deque>

#include "internal/nocase.h"
#include "internal/resources.h"

namespace kvplat {

namespace {

constexpr DWORD kErrorResourceTypeNotFound = 1813;
constexpr DWORD kErrorResourceNameNotFound = 1814;

// A numeric id or an upper-cased name.
struct ResourceKey {
  WORD id = 0;
  std::wstring name;

  static ResourceKey From(LPCWSTR value) {
    ResourceKey key;
    if (IS_INTRESOURCE(value)) {
      key.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(value));
    } else {
      key.name = FoldName(value);
    }
    return key;
  }
  bool operator==(const ResourceKey& other) const { return id == other.id && name == other.name; }
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  const void* data;
  DWORD size;
};

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

// A deque: entries never move, so their addresses serve as handles.
std::deque<Resource>& Table() {
  static auto* table = new std::deque<Resource>();
  return *table;
}

Resource* FromHandle(HRSRC handle) {
  std::lock_guard<std::mutex> lock(TableMutex());
  for (Resource& r : Table()) {
    if (reinterpret_cast<HRSRC>(&r) == handle) return &r;
  }
  return nullptr;
}

}  // namespace

void RegisterModuleResource(LPCWSTR type, LPCWSTR name, const void* data, DWORD size) {
  std::lock_guard<std::mutex> lock(TableMutex());
  Table().push_back({ResourceKey::From(type), ResourceKey::From(name), data, size});
}

}  // namespace kvplat

using namespace kvplat;

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ResourceKey typeKey = ResourceKey::From(type);
  ResourceKey nameKey = ResourceKey::From(name);
  bool typeFound = false;
  std::lock_guard<std::mutex> lock(TableMutex());
  for (Resource& r : Table()) {
    if (!(r.type == typeKey)) continue;
    typeFound = true;
    if (r.name == nameKey) return reinterpret_cast<HRSRC>(&r);
  }
  SetLastError(typeFound ? kErrorResourceNameNotFound : kErrorResourceTypeNotFound);
  return nullptr;
}

// The resource's bytes are the program's read-only data: loading maps nothing, and the
// "global" handle is the data pointer itself.
HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  Resource* r = FromHandle(resource);
  if (!r) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<void*>(r->data);
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
  Resource* r = FromHandle(resource);
  if (!r) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return r->size;
}

LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }

// Obsolete on Windows as well: nothing to free, and the documented result is FALSE.
BOOL FreeResource(HGLOBAL) { return FALSE; }
