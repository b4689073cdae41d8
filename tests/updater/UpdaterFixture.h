// A machine prefix, the runtime with both HTTP channels, and the publisher server on a
// site folder whose manifest is reachable under a primary and a fallback base URL.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "Updater/Updater.h"
#include "support/MessagePump.h"
#include "support/PublisherServer.h"
#include "support/TempPrefix.h"
#include "support/TestRuntime.h"
#include "updater/RecordingListener.h"

class UpdaterFixture : public ::testing::Test {
 protected:
  // Manifests live below these two folders of the site, one per server.
  static constexpr const char* kPrimaryBase = "/primary";
  static constexpr const char* kFallbackBase = "/fallback";
  static constexpr const char* kPackagePath = "/packages/kvinstaller-2.0.exe";
  static constexpr const wchar_t* kWorkFolder = L"C:\\work";

  void SetUp() override;
  void TearDown() override;

  // Deterministic package bytes (not periodic, so a misplaced range shows).
  static std::string PackageBytes(size_t size);
  // Publishes a package of `size` bytes and a manifest naming it under both bases; the
  // manifest's "Size" is `sizeText`, or the real size when empty.
  void Publish(size_t size, const std::string& sizeText = "");
  // Creates and starts an updater on the work folder, recording into listener_.
  void StartUpdater();
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    return PumpMessagesUntil(done, timeoutMs);
  }
  bool PumpUntilPackageResults(size_t count, DWORD timeoutMs = 20000) {
    return PumpUntil([&] { return listener_.Count(TListenerEvent::kPackageResult) >= count; }, timeoutMs);
  }

  std::string WorkHost(const std::string& name) const { return prefix_->Host("drive_c/work/" + name); }
  std::string SiteHost(const std::string& path) const { return site_ + path; }
  // How many requests the server saw for a path.
  size_t RequestCount(const std::string& path) const { return server_->RequestsFor(path).size(); }

  std::unique_ptr<TempPrefix> prefix_;
  std::string site_;
  std::unique_ptr<PublisherServer> server_;
  std::string package_;
  RecordingListener listener_;
  std::unique_ptr<CUpdater> updater_;
};
