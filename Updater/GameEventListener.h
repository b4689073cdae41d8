// The listener through which the package updater reports the manifest outcome, the
// download progress and the download outcome (implemented by the main window).
#pragma once

#include <string>

#include <windows.h>

#include "Http/HttpResult.h"

// Eleven operations in a fixed slot order. The updater calls slots 2, 3 and 10; the
// others are reserved and do nothing, so a listener overrides only what it uses. The
// destructor is protected and not virtual, so it takes no slot: the updater never owns
// or deletes its listener.
class IGameEventListener {
 public:
  virtual void Reserved0() {}
  virtual void Reserved1() {}
  // The download reported progress: total and completed bytes of the whole file, speed
  // in bytes per second.
  virtual void OnPackageProgress(INT64 total, INT64 complete, INT64 speed) = 0;
  // The download ended: error type (0 "ok"), code, and a message (empty when none).
  virtual void OnPackageResult(ErrType errType, int code, const std::wstring& message) = 0;
  virtual void Reserved4() {}
  virtual void Reserved5() {}
  virtual void Reserved6() {}
  virtual void Reserved7() {}
  virtual void Reserved8() {}
  virtual void Reserved9() {}
  // The manifest was obtained (type 0, with its version text), or every manifest server
  // failed (the last failure's type and code, empty version).
  virtual void OnManifestResult(ErrType errType, int code, const std::wstring& version) = 0;

 protected:
  IGameEventListener() = default;
  IGameEventListener(const IGameEventListener&) = default;
  IGameEventListener& operator=(const IGameEventListener&) = default;
  ~IGameEventListener() = default;
};
