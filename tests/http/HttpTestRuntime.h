// The runtime an HTTP test needs: a machine prefix, the main-thread dispatch, both
// channels, the 500 ms scheduler timer and a local publisher server, plus a bounded
// message loop that runs until a condition holds.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/MessagePump.h"
#include "support/PublisherServer.h"
#include "support/TempPrefix.h"
#include "support/TestRuntime.h"

class HttpTestRuntime : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // How long a test waits for an outcome that arrives within milliseconds when all is well.
  static constexpr DWORD kWaitMs = 10000;

  // Lines the file logger wrote during this test (it is on for every test), and how many
  // of them contain `text`.
  std::vector<std::wstring> LogLines() const;
  size_t CountLog(const std::wstring& text) const;

  // A folder the server serves (host path) and its Windows name for local files.
  std::string ServedPath(const std::string& name) const { return served_ + "/" + name; }
  std::string LocalHostPath(const std::string& name) const;
  std::wstring LocalPath(const std::string& name) const;

  std::unique_ptr<TempPrefix> prefix_;
  std::unique_ptr<PublisherServer> server_;
  std::string served_;
  std::string logPath_;
};
