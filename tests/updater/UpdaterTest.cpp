// The package updater against the local publisher server: manifest servers in order,
// the download with its progress and result, and what is left on disk after each end.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>

#include <windows.h>

#include "updater/UpdaterFixture.h"

namespace {

namespace fs = std::filesystem;
using Kind = TListenerEvent::Kind;

const std::string kPrimaryManifest = "/primary/kvinstall.txt";
const std::string kFallbackManifest = "/fallback/kvinstall.txt";

TEST_F(UpdaterFixture, FallbackServesWhenPrimaryFails) {
  Publish(64 * 1024);
  server_->SetRule(kPrimaryManifest, "status=500");
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));

  std::vector<std::string> log = server_->RequestLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log[0].find(kPrimaryManifest), std::string::npos);
  EXPECT_NE(log[1].find(kFallbackManifest), std::string::npos);
  EXPECT_EQ(RequestCount(kPrimaryManifest), 1u);
  EXPECT_EQ(RequestCount(kFallbackManifest), 1u);

  ASSERT_EQ(listener_.Count(Kind::kManifestResult), 1u);
  const TListenerEvent* manifest = listener_.Last(Kind::kManifestResult);
  EXPECT_EQ(manifest->a, 0);
  EXPECT_EQ(manifest->text, L"2.0");
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
}

struct ManifestFailureCase {
  const char* name;
  const char* primaryRule;
  const char* fallbackRule;  // null: the fallback server does not listen at all
  int type;
  int code;
};

void PrintTo(const ManifestFailureCase& c, std::ostream* os) { *os << c.name; }

class ManifestFailureTest : public UpdaterFixture, public ::testing::WithParamInterface<ManifestFailureCase> {};

TEST_P(ManifestFailureTest, OneResultWithTheLastFailureAndNothingElse) {
  const ManifestFailureCase& c = GetParam();
  Publish(1000);
  server_->SetRule(kPrimaryManifest, c.primaryRule);
  if (c.fallbackRule)
    server_->SetRule(kFallbackManifest, c.fallbackRule);
  else
    setenv("KV_MANIFEST_SERVER_FALLBACK", ("http://127.0.0.1:" + std::to_string(ClosedLocalPort())).c_str(), 1);
  StartUpdater();
  ASSERT_TRUE(PumpUntil([&] { return !listener_.events.empty(); }));
  PumpMessagesFor(1500);  // anything reported late would show now

  ASSERT_EQ(listener_.events.size(), 1u);
  EXPECT_EQ(listener_.events[0].kind, Kind::kManifestResult);
  EXPECT_EQ(listener_.events[0].a, c.type);
  EXPECT_EQ(listener_.events[0].b, c.code);
  EXPECT_EQ(listener_.events[0].text, L"");
  EXPECT_EQ(RequestCount(kPrimaryManifest), 1u);
  EXPECT_FALSE(fs::exists(WorkHost("kvinstall.ini"))) << "a failed fetch wrote the local copy";
  EXPECT_FALSE(updater_->IsDownloadRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ManifestFailureTest,
    ::testing::Values(ManifestFailureCase{"BothAnswerErrors", "status=500", "status=404", 4, 404},
                      // The command retries a connection failure twice, then reports it.
                      ManifestFailureCase{"FallbackUnreachable", "status=503", nullptr, 5, 7}),
    [](const ::testing::TestParamInfo<ManifestFailureCase>& info) { return std::string(info.param.name); });

TEST_F(UpdaterFixture, DownloadReportsProgressThenLandsAsPackage) {
  const size_t size = 600 * 1024;
  Publish(size);
  server_->SetRule(kPackagePath, "throttle=250000");
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));

  ASSERT_EQ(listener_.events.front().kind, Kind::kManifestResult);
  const TListenerEvent* result = listener_.Last(Kind::kPackageResult);
  EXPECT_EQ(result->a, 0);
  EXPECT_EQ(result->b, 0);
  EXPECT_EQ(result->text, L"");
  EXPECT_EQ(listener_.events.back().kind, Kind::kPackageResult);

  ASSERT_GE(listener_.Count(Kind::kProgress), 1u);
  INT64 lastComplete = -1;
  for (const auto& e : listener_.events) {
    if (e.kind != Kind::kProgress) continue;
    EXPECT_EQ(e.a, static_cast<INT64>(size));
    EXPECT_GE(e.b, lastComplete);
    EXPECT_LE(e.b, static_cast<INT64>(size));
    lastComplete = e.b;
  }
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
  EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe.yw")));
  EXPECT_EQ(updater_->PackagePath(), L"C:\\work\\kvinstaller.exe");
}

TEST_F(UpdaterFixture, LateProgressAfterTheResultIsNotReported) {
  Publish(4096);
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));
  const size_t before = listener_.events.size();
  // The download layer reporting once more after the done message was handled.
  CUpdater::OnPackageHttpProgress(reinterpret_cast<UINT_PTR>(updater_->HelperWindow()), 4096, 4096, 10);
  PumpMessagesFor(300);
  EXPECT_EQ(listener_.events.size(), before);
}

TEST_F(UpdaterFixture, DoneMessageQueuedBeforeStopIsIgnored) {
  Publish(512 * 1024);
  server_->SetRule(kPackagePath, "throttle=50000");
  StartUpdater();
  ASSERT_TRUE(PumpUntil([&] { return fs::exists(WorkHost("kvinstaller.exe.yw")); }));
  ASSERT_TRUE(PostMessageW(updater_->HelperWindow(), CUpdater::kMsgPackageDone, 0, 0));
  updater_->Stop();
  EXPECT_FALSE(updater_->IsDownloadRunning());
  PumpMessagesFor(1500);

  EXPECT_EQ(listener_.Count(Kind::kPackageResult), 0u);
  EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe"))) << "a partial download was renamed";
}

TEST_F(UpdaterFixture, LockedFinalFileKeepsTheDownloadedTemporaryFile) {
  Publish(8192);
  ASSERT_TRUE(WriteHostFile(WorkHost("kvinstaller.exe"), "old package"));
  // Open without delete sharing: neither deleting nor replacing it is allowed.
  HANDLE held = CreateFileW(L"C:\\work\\kvinstaller.exe", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));
  CloseHandle(held);

  const TListenerEvent* result = listener_.Last(Kind::kPackageResult);
  EXPECT_EQ(result->a, 3);
  EXPECT_EQ(result->b, -1);
  EXPECT_EQ(result->text, L"");
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe.yw")), package_);
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), "old package");
}

struct DownloadFailureCase {
  const char* name;
  const char* packageRule;
  std::string sizeText;  // the manifest's "Size"; empty: the real size
  int type;
  int code;
  size_t keptBytes;  // length of the temporary file left behind; 0: removed; kAnyPrefix
};

void PrintTo(const DownloadFailureCase& c, std::ostream* os) { *os << c.name; }

// The body may already be on disk when the announced length is refused; whatever stays
// must then be the start of the package.
constexpr size_t kAnyPrefix = SIZE_MAX;

class DownloadFailureTest : public UpdaterFixture, public ::testing::WithParamInterface<DownloadFailureCase> {};

TEST_P(DownloadFailureTest, ReportsFailureAndKeepsOnlyNonEmptyPartialFile) {
  const DownloadFailureCase& c = GetParam();
  Publish(10000, c.sizeText);
  server_->SetRule(kPackagePath, c.packageRule);
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));

  const TListenerEvent* result = listener_.Last(Kind::kPackageResult);
  EXPECT_EQ(result->a, c.type);
  EXPECT_EQ(result->b, c.code);
  EXPECT_EQ(result->text, L"安装失败");
  EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe")));
  const std::string kept = ReadHostFile(WorkHost("kvinstaller.exe.yw"));
  if (c.keptBytes == 0) {
    EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe.yw")));
  } else if (c.keptBytes == kAnyPrefix) {
    EXPECT_EQ(kept, package_.substr(0, kept.size()));
  } else {
    EXPECT_EQ(kept, package_.substr(0, c.keptBytes));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadFailureTest,
    ::testing::Values(DownloadFailureCase{"NotFoundWritesNothing", "status=404", "", 4, 404, 0},
                      DownloadFailureCase{"WrongSizeInManifest", "", "10001", 3, 2007, kAnyPrefix},
                      // Three attempts (two retries of the task), each resuming and cut again.
                      DownloadFailureCase{"CutEveryTime", "drop_after=1000&drops=-1", "", 5, 18, 3000}),
    [](const ::testing::TestParamInfo<DownloadFailureCase>& info) { return std::string(info.param.name); });

TEST_F(UpdaterFixture, RetriesAfterEachDropEndWithTheServedPackage) {
  const size_t size = 200 * 1024;
  Publish(size);
  // The task's own two retries take the first two drops; the updater reports the others.
  server_->SetRule(kPackagePath, "drop_after=30000&drops=5");
  StartUpdater();
  size_t failures = 0;
  while (PumpUntilPackageResults(failures + 1) && listener_.Last(Kind::kPackageResult)->a != 0) {
    ++failures;
    ASSERT_LE(failures, 3u);
    ASSERT_FALSE(updater_->IsDownloadRunning());
    updater_->RetryPackageDownload();
  }
  ASSERT_EQ(listener_.Last(Kind::kPackageResult)->a, 0);
  EXPECT_EQ(failures, 3u);
  EXPECT_EQ(RequestCount(kPackagePath), 6u);
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
}

TEST_F(UpdaterFixture, ServerIgnoringRangesStillGivesTheRightFile) {
  const size_t size = 100 * 1024;
  Publish(size);
  server_->SetRule(kPackagePath, "ignore_range=1");
  // A stale partial file with the wrong bytes: resuming from it would corrupt the result.
  ASSERT_TRUE(WriteHostFile(WorkHost("kvinstaller.exe.yw"), std::string(5000, 'z')));
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));
  EXPECT_EQ(listener_.Last(Kind::kPackageResult)->a, 0);
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
}

TEST_F(UpdaterFixture, PartialFileOfAnotherPackageIsDroppedNotInstalled) {
  const size_t size = 50 * 1024;
  Publish(size);
  // Left by an interrupted download of an earlier version: resuming from it gives the
  // right length but the wrong bytes.
  ASSERT_TRUE(WriteHostFile(WorkHost("kvinstaller.exe.yw"), PackageBytes(size + 7).substr(7, 20000)));
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));
  const TListenerEvent* first = listener_.Last(Kind::kPackageResult);
  EXPECT_EQ(first->a, 3);
  EXPECT_EQ(first->b, 2008);
  EXPECT_EQ(first->text, L"安装失败");
  EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe")));
  EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe.yw")));

  updater_->RetryPackageDownload();
  ASSERT_TRUE(PumpUntilPackageResults(2));
  EXPECT_EQ(listener_.Last(Kind::kPackageResult)->a, 0);
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
}

TEST_F(UpdaterFixture, RetryWhileRunningStartsNothing) {
  Publish(256 * 1024);
  server_->SetRule(kPackagePath, "throttle=100000");
  StartUpdater();
  ASSERT_TRUE(PumpUntil([&] { return updater_->IsDownloadRunning() == TRUE; }));
  updater_->RetryPackageDownload();
  ASSERT_TRUE(PumpUntilPackageResults(1));
  EXPECT_EQ(listener_.Count(Kind::kPackageResult), 1u);
  EXPECT_EQ(RequestCount(kPackagePath), 1u);
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
}

}  // namespace
