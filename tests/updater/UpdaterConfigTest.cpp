// The manifest URLs: built-in server addresses, overridden by the environment.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Updater/UpdaterConfig.h"
#include "kv_config.h"

namespace {

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedVariable() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(ManifestUrls, PrimaryThenFallbackWithTheManifestPath) {
  const struct {
    const char* primary;
    const char* fallback;
    std::wstring expectedPrimary;
    std::wstring expectedFallback;
  } cases[] = {
      {nullptr, nullptr, std::wstring(KV_MANIFEST_SERVER_PRIMARY_DEFAULT) + L"/kvinstall.txt",
       std::wstring(KV_MANIFEST_SERVER_FALLBACK_DEFAULT) + L"/kvinstall.txt"},
      {"http://127.0.0.1:8001", "", L"http://127.0.0.1:8001/kvinstall.txt",
       std::wstring(KV_MANIFEST_SERVER_FALLBACK_DEFAULT) + L"/kvinstall.txt"},
      {"http://a.test/base/", "http://b.test/\u5907", L"http://a.test/base/kvinstall.txt",
       L"http://b.test/\u5907/kvinstall.txt"},
  };
  for (const auto& c : cases) {
    ScopedVariable primary("KV_MANIFEST_SERVER_PRIMARY", c.primary);
    ScopedVariable fallback("KV_MANIFEST_SERVER_FALLBACK", c.fallback);
    std::vector<std::wstring> urls = ManifestUrls();
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[0], c.expectedPrimary);
    EXPECT_EQ(urls[1], c.expectedFallback);
  }
}

}  // namespace
