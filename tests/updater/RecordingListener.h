// A listener that records every call of the updater in order, as the main window would
// receive them.
#pragma once

#include <string>
#include <vector>

#include "Updater/GameEventListener.h"

struct TListenerEvent {
  enum Kind { kProgress, kPackageResult, kManifestResult };
  Kind kind;
  // Progress: total, complete, speed. Results: error type, code, unused.
  INT64 a;
  INT64 b;
  INT64 c;
  std::wstring text;
};

class RecordingListener : public IGameEventListener {
 public:
  void OnPackageProgress(INT64 total, INT64 complete, INT64 speed) override {
    events.push_back({TListenerEvent::kProgress, total, complete, speed, L""});
  }
  void OnPackageResult(ErrType errType, int code, const std::wstring& message) override {
    events.push_back({TListenerEvent::kPackageResult, errType, code, 0, message});
  }
  void OnManifestResult(ErrType errType, int code, const std::wstring& version) override {
    events.push_back({TListenerEvent::kManifestResult, errType, code, 0, version});
  }

  size_t Count(TListenerEvent::Kind kind) const {
    size_t n = 0;
    for (const auto& e : events) n += e.kind == kind ? 1 : 0;
    return n;
  }
  // The last event of a kind; null when there is none.
  const TListenerEvent* Last(TListenerEvent::Kind kind) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->kind == kind) return &*it;
    return nullptr;
  }

  std::vector<TListenerEvent> events;
};
