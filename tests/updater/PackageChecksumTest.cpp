// The package check against the manifest's "Md5": which texts name a digest, and which
// files fail it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "Updater/PackageChecksum.h"
#include "support/TempPrefix.h"

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

TEST(PackageChecksum, OnlyAWellFormedDigestIsChecked) {
  TempPrefix prefix;
  const std::string bytes = "the published package";
  ASSERT_TRUE(WriteHostFile(prefix.Host("drive_c/p.exe"), bytes));
  const std::string digest = Md5Hex(bytes.data(), bytes.size());
  ASSERT_EQ(Md5Hex("", 0), "d41d8cd98f00b204e9800998ecf8427e");
  std::string upper = digest;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  std::string wrong = digest;
  wrong[0] = wrong[0] == '0' ? '1' : '0';

  const struct {
    std::wstring path;
    std::wstring md5;
    bool fails;
  } cases[] = {
      {L"C:\\p.exe", Wide(digest), false},
      {L"C:\\p.exe", Wide(upper), false},
      {L"C:\\p.exe", Wide(wrong), true},
      {L"C:\\missing.exe", Wide(digest), true},
      // Texts that name no digest check nothing.
      {L"C:\\p.exe", L"", false},
      {L"C:\\p.exe", L"00", false},
      {L"C:\\p.exe", Wide(digest) + L"0", false},
      {L"C:\\p.exe", L"zz" + Wide(digest.substr(2)), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PackageFailsMd5(c.path, c.md5), c.fails) << std::string(c.md5.begin(), c.md5.end());
}

}  // namespace
