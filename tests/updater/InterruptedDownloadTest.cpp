// A program killed in the middle of a download leaves "kvinstaller.exe.yw" behind, and
// the next run resumes from its length. The killed program is this test executable run
// again as a child with only the driver below selected.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "updater/UpdaterFixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Kind = TListenerEvent::Kind;

// The driver: starts the runtime and an updater on the work folder named by the
// environment (prefix and manifest servers come from the parent) and pumps until killed.
// Disabled, so that it runs only when the parent selects it.
TEST(InterruptedDownloadDriver, DISABLED_DownloadUntilKilled) {
  StartTestRuntime();
  RecordingListener listener;
  CUpdater updater(L"C:\\work", &listener);
  ASSERT_TRUE(updater.Start());
  PumpMessagesUntil([&] { return listener.Count(Kind::kPackageResult) > 0; }, 120000);
  ADD_FAILURE() << "the driver was not killed during its download";
}

pid_t StartDriver() {
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=InterruptedDownloadDriver.DISABLED_DownloadUntilKilled";
  std::string disabled = "--gtest_also_run_disabled_tests";
  char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  return pid;
}

uintmax_t FileLength(const std::string& path) {
  std::error_code ec;
  uintmax_t length = fs::file_size(path, ec);
  return ec ? 0 : length;
}

TEST_F(UpdaterFixture, KilledDownloadIsResumedByTheNextRun) {
  const size_t size = 3 * 1024 * 1024;
  Publish(size);
  server_->SetRule(kPackagePath, "throttle=400000");
  const std::string partial = WorkHost("kvinstaller.exe.yw");

  pid_t driver = StartDriver();
  ASSERT_GT(driver, 0);
  const bool midway = PumpUntil([&] { return FileLength(partial) >= 600 * 1024; }, 30000);
  kill(driver, SIGKILL);
  int status = 0;
  waitpid(driver, &status, 0);
  ASSERT_TRUE(midway) << "the driver's download never got going";
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  const uintmax_t kept = FileLength(partial);
  ASSERT_GT(kept, 0u);
  ASSERT_LT(kept, size);
  EXPECT_EQ(ReadHostFile(partial), package_.substr(0, kept));
  EXPECT_FALSE(fs::exists(WorkHost("kvinstaller.exe")));

  server_->Clear();  // full speed, and a fresh request log
  StartUpdater();
  ASSERT_TRUE(PumpUntilPackageResults(1));
  EXPECT_EQ(listener_.Last(Kind::kPackageResult)->a, 0);
  std::vector<std::string> requests = server_->RequestsFor(kPackagePath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("bytes=" + std::to_string(kept) + "-"), std::string::npos) << requests[0];
  EXPECT_EQ(ReadHostFile(WorkHost("kvinstaller.exe")), package_);
}

}  // namespace
