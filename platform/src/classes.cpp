// The atom table shared by window classes and registered messages, window classes and
// RegisterWindowMessageW.
#include <memory>
#include <mutex>
#include <unordered_map>

#include "internal/nocase.h"
#include "internal/windowrecord.h"

namespace kvplat {
namespace {

// Atoms of names live in 0xC000-0xFFFF, as the system's string atoms do; the same name
// (ignoring case) always gives the same atom.
class AtomTable {
 public:
  ATOM Add(std::wstring_view name) {
    std::lock_guard lock(mutex_);
    auto folded = FoldName(name);
    if (auto it = atoms_.find(folded); it != atoms_.end()) return it->second;
    if (next_ == 0) return 0;  // all 16384 atoms taken
    ATOM atom = static_cast<ATOM>(next_);
    next_ = next_ == 0xFFFF ? 0 : next_ + 1;
    atoms_.emplace(std::move(folded), atom);
    return atom;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::wstring, ATOM> atoms_;
  unsigned next_ = 0xC000;
};

AtomTable& Atoms() {
  static AtomTable* table = new AtomTable;  // lives past every static destructor
  return *table;
}

struct ClassTable {
  std::mutex mutex;
  std::unordered_map<std::wstring, std::shared_ptr<WindowClass>> byName;  // folded names
};

ClassTable& Classes() {
  static ClassTable* table = new ClassTable;
  return *table;
}

// The folded name a class parameter stands for, or "" when it names nothing.
std::wstring ClassKey(ClassTable& table, LPCWSTR nameOrAtom) {
  if (!nameOrAtom) return {};
  if (!IS_INTRESOURCE(nameOrAtom)) return FoldName(nameOrAtom);
  ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(nameOrAtom));
  for (const auto& [key, windowClass] : table.byName) {
    if (windowClass->atom == atom) return key;
  }
  return {};
}

ATOM Register(const WNDCLASSEXW& info) {
  if (!info.lpszClassName || IS_INTRESOURCE(info.lpszClassName) || !*info.lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& table = Classes();
  std::lock_guard lock(table.mutex);
  auto key = FoldName(info.lpszClassName);
  if (table.byName.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto windowClass = std::make_shared<WindowClass>();
  windowClass->atom = Atoms().Add(info.lpszClassName);
  windowClass->name = info.lpszClassName;
  windowClass->style = info.style;
  windowClass->proc = info.lpfnWndProc;
  windowClass->instance = info.hInstance;
  windowClass->icon = info.hIcon;
  windowClass->smallIcon = info.hIconSm;
  windowClass->cursor = info.hCursor;
  windowClass->background = info.hbrBackground;
  table.byName.emplace(std::move(key), windowClass);
  return windowClass->atom;
}

}  // namespace

std::shared_ptr<WindowClass> LookupClass(LPCWSTR nameOrAtom) {
  auto& table = Classes();
  std::lock_guard lock(table.mutex);
  auto it = table.byName.find(ClassKey(table, nameOrAtom));
  if (it == table.byName.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  return it->second;
}

}  // namespace kvplat

ATOM RegisterClassW(const WNDCLASSW* wndClass) {
  if (!wndClass) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSEXW info{sizeof(WNDCLASSEXW), wndClass->style, wndClass->lpfnWndProc,
                   wndClass->cbClsExtra, wndClass->cbWndExtra, wndClass->hInstance,
                   wndClass->hIcon, wndClass->hCursor, wndClass->hbrBackground,
                   wndClass->lpszMenuName, wndClass->lpszClassName, nullptr};
  return kvplat::Register(info);
}

ATOM RegisterClassExW(const WNDCLASSEXW* wndClass) {
  if (!wndClass || wndClass->cbSize != sizeof(WNDCLASSEXW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return kvplat::Register(*wndClass);
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  auto& table = kvplat::Classes();
  std::lock_guard lock(table.mutex);
  auto it = table.byName.find(kvplat::ClassKey(table, className));
  if (it == table.byName.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (it->second->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  table.byName.erase(it);
  return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, LPWNDCLASSEXW wndClass) {
  if (!wndClass) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto found = kvplat::LookupClass(className);
  if (!found) return FALSE;
  UINT size = wndClass->cbSize;
  *wndClass = WNDCLASSEXW{size,           found->style,  found->proc,   0,
                          0,              found->instance, found->icon, found->cursor,
                          found->background, nullptr,    className,     found->smallIcon};
  return found->atom;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return kvplat::Atoms().Add(name);
}
