#include "Http/CurlListener.h"

#include <set>

namespace {

std::set<const CurlListener*>& LiveListeners() {
  static std::set<const CurlListener*> listeners;
  return listeners;
}

}  // namespace

CurlListener::CurlListener() { LiveListeners().insert(this); }

CurlListener::~CurlListener() { LiveListeners().erase(this); }

bool CurlListener::IsAlive(const CurlListener* listener) {
  return LiveListeners().count(listener) != 0;
}
