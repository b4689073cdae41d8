#include "updater/UpdaterFixture.h"

#include <filesystem>

#include "Updater/PackageChecksum.h"

void UpdaterFixture::SetUp() {
  prefix_ = std::make_unique<TempPrefix>();
  site_ = prefix_->Root() + "/site";
  std::filesystem::create_directories(site_);
  server_ = std::make_unique<PublisherServer>(site_);
  setenv("KV_MANIFEST_SERVER_PRIMARY", server_->Url(kPrimaryBase).c_str(), 1);
  setenv("KV_MANIFEST_SERVER_FALLBACK", server_->Url(kFallbackBase).c_str(), 1);
  StartTestRuntime();
}

void UpdaterFixture::TearDown() {
  if (updater_) updater_->Stop();
  updater_.reset();
  StopTestRuntime();
  unsetenv("KV_MANIFEST_SERVER_PRIMARY");
  unsetenv("KV_MANIFEST_SERVER_FALLBACK");
  server_.reset();
  prefix_.reset();
}

std::string UpdaterFixture::PackageBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2463534242u;
  for (char& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<char>(state & 0xFF);
  }
  return bytes;
}

void UpdaterFixture::Publish(size_t size, const std::string& sizeText) {
  package_ = PackageBytes(size);
  ASSERT_TRUE(WriteHostFile(SiteHost(kPackagePath), package_));
  std::string manifest = "[Install]\r\nUrl=" + server_->Url(kPackagePath) + "\r\nSize=" +
                         (sizeText.empty() ? std::to_string(size) : sizeText) +
                         "\r\nMd5=" + Md5Hex(package_.data(), package_.size()) + "\r\nVersion=2.0\r\n";
  ASSERT_TRUE(WriteHostFile(SiteHost(std::string(kPrimaryBase) + "/kvinstall.txt"), manifest));
  ASSERT_TRUE(WriteHostFile(SiteHost(std::string(kFallbackBase) + "/kvinstall.txt"), manifest));
}

void UpdaterFixture::StartUpdater() {
  updater_ = std::make_unique<CUpdater>(kWorkFolder, &listener_);
  ASSERT_TRUE(updater_->Start());
}
