// The installation as the main window plays it, without a window: no launcher yet, the
// work folder chosen, the manifest and the package fetched from the publisher site, the
// package installer run silently, the launcher started with the game identifier, the
// package removed, and the launcher found on the next look.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "LauncherHandoff.h"
#include "Runtime/TextUtils.h"
#include "kv_config.h"
#include "updater/UpdaterFixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Kind = TListenerEvent::Kind;

const std::string kPackageStandIn = std::string(KV_TEST_BINARY_DIR) + "/demo/kvinstaller.exe";
const std::string kSiteGenerator = std::string(KV_SOURCE_ROOT) + "/demo/make_site.py";

// Runs the site generator on the package installer stand-in; true when it succeeded.
bool MakeSite(const std::string& site, const std::string& baseUrl) {
  std::string python = "python3";
  std::string package = "--package=" + kPackageStandIn;
  std::string siteArg = "--site=" + site;
  std::string base = "--base-url=" + baseUrl;
  std::string script = kSiteGenerator;
  char* argv[] = {python.data(), script.data(), package.data(), siteArg.data(), base.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, "python3", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class InstallEndToEnd : public UpdaterFixture {};

TEST_F(InstallEndToEnd, DownloadsInstallsAndHandsOverToTheLauncher) {
  ASSERT_TRUE(fs::exists(kPackageStandIn)) << "build the demo stand-ins first";
  // The whole publisher side: the generated site behind the primary server; the
  // fallback server is not needed.
  setenv("KV_MANIFEST_SERVER_PRIMARY", server_->Url("").c_str(), 1);
  ASSERT_TRUE(MakeSite(site_, server_->Url("")));
  const std::string published = ReadHostFile(site_ + "/packages/kvinstaller-1.0.0.1.exe");
  ASSERT_FALSE(published.empty());

  TLauncherHandoff install;
  install.gameId = 8;
  EXPECT_FALSE(DetectLauncher(install));
  LocateWorkFolder(install);
  install.installFolder = DefaultInstallFolder();
  ASSERT_EQ(install.workFolder, L"C:\\Kavro网络\\KavroCorvix");
  EXPECT_FALSE(install.mainDllBeside);

  updater_ = std::make_unique<CUpdater>(install.workFolder, &listener_);
  ASSERT_TRUE(updater_->Start());
  ASSERT_TRUE(PumpUntilPackageResults(1));

  ASSERT_FALSE(listener_.events.empty());
  EXPECT_EQ(listener_.events.front().kind, Kind::kManifestResult);
  EXPECT_EQ(listener_.events.front().a, 0);
  EXPECT_EQ(listener_.events.front().text, L"1.0.0.1");
  EXPECT_EQ(listener_.events.back().kind, Kind::kPackageResult);
  EXPECT_EQ(listener_.events.back().a, 0);
  ASSERT_GE(listener_.Count(Kind::kProgress), 1u);
  EXPECT_EQ(listener_.Last(Kind::kProgress)->a, static_cast<INT64>(published.size()));
  std::vector<std::string> requests = server_->RequestLog();
  ASSERT_FALSE(requests.empty());
  EXPECT_NE(requests[0].find("/kvinstall.txt"), std::string::npos);

  const std::string work = prefix_->Host("drive_c/Kavro网络/KavroCorvix/");
  EXPECT_EQ(ReadHostFile(work + "kvinstaller.exe"), published);
  EXPECT_FALSE(fs::exists(work + "kvinstaller.exe.yw"));
  EXPECT_TRUE(fs::exists(work + "kvinstall.ini"));

  RunPackageInstaller(install);
  EXPECT_NE(install.installerProcess.hProcess, nullptr);
  StartLauncherAfterInstall(install);

  // The launcher runs on its own; its record appears once it has started.
  const std::string launcherRuns = work + "KavroLauncher.runs.txt";
  ASSERT_TRUE(PumpUntil([&] { return ReadHostFile(launcherRuns).find('\n') != std::string::npos; }, 10000));
  EXPECT_EQ(ReadHostFile(launcherRuns), "-i \"8\" -d\n");
  EXPECT_FALSE(fs::exists(work + "kvinstaller.exe")) << "the downloaded package was not removed";
  EXPECT_TRUE(fs::exists(work + "kvinstall.ini"));

  TLauncherHandoff again;
  EXPECT_TRUE(DetectLauncher(again));
  EXPECT_EQ(again.launcherPath, L"C:\\Kavro网络\\KavroCorvix\\KavroLauncher.exe");
}

}  // namespace
