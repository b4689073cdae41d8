// The local manifest copy: its bytes on disk, what the INI reader finds in it, and the
// conversion of the "Size" text.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include <windows.h>

#include "Runtime/TextUtils.h"
#include "Updater/InstallManifest.h"
#include "support/TempPrefix.h"

namespace {

const wchar_t kWorkFolder[] = L"C:\\work";

class InstallManifestTest : public ::testing::Test {
 protected:
  void SetUp() override { prefix_.AddDrive('c'); WriteHostFile(prefix_.Host("drive_c/work/.keep"), ""); }
  std::string StoredBytes() const { return ReadHostFile(prefix_.Host("drive_c/work/kvinstall.ini")); }
  TInstallManifest StoreAndRead(const std::string& utf8Body) {
    StoreManifest(kWorkFolder, Utf8ToWide(utf8Body));
    return ReadManifest(kWorkFolder);
  }

  TempPrefix prefix_;
};

TEST_F(InstallManifestTest, StoresTextAsUtf16LittleEndianAfterByteOrderMark) {
  // One code unit per character, low byte first; no terminator.
  StoreManifest(kWorkFolder, L"A=\u7248\r\n");
  EXPECT_EQ(StoredBytes(), std::string("\xFF\xFE" "A\0=\0\x48\x72\r\0\n\0", 12));
}

TEST_F(InstallManifestTest, KeepsUtf8ByteOrderMarkOfTheBodyAsCodeUnit) {
  StoreManifest(kWorkFolder, Utf8ToWide("\xEF\xBB\xBF[Install]"));
  EXPECT_EQ(StoredBytes().substr(0, 4), "\xFF\xFE\xFF\xFE");
}

TEST_F(InstallManifestTest, NewCopyReplacesLongerOlderCopy) {
  StoreManifest(kWorkFolder, std::wstring(500, L'x'));
  StoreManifest(kWorkFolder, L"[Install]\r\nUrl=u\r\n");
  EXPECT_EQ(StoredBytes().size(), 2u + 2u * 18u);
  EXPECT_EQ(ReadManifest(kWorkFolder).url, L"u");
}

struct ReadCase {
  const char* name;
  std::string body;
  TInstallManifest expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ManifestReadTest : public InstallManifestTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ManifestReadTest, FindsTheFourValues) {
  const ReadCase& c = GetParam();
  TInstallManifest got = StoreAndRead(c.body);
  EXPECT_EQ(got.url, c.expected.url);
  EXPECT_EQ(got.sizeText, c.expected.sizeText);
  EXPECT_EQ(got.md5, c.expected.md5);
  EXPECT_EQ(got.version, c.expected.version);
}

const std::string kLongValue(3000, 'v');

INSTANTIATE_TEST_SUITE_P(
    Manifests, ManifestReadTest,
    ::testing::Values(
        ReadCase{"Complete",
                 "[Install]\r\nUrl=http://h/p.exe\r\nSize=1234\r\nMd5=abc\r\nVersion=1.2\r\n",
                 {L"http://h/p.exe", L"1234", L"abc", L"1.2"}},
        ReadCase{"OtherLetterCase", "[install]\nurl=http://h/a\nSIZE=5\nmd5=m\nversion=\u00e9\n",
                 {L"http://h/a", L"5", L"m", L"\u00e9"}},
        ReadCase{"BlanksAroundNamesAndValues", "[Install]\n  Url =  http://h/b  \nSize= 7\n",
                 {L"http://h/b", L"7", L"", L""}},
        ReadCase{"OtherSectionsIgnored", "[Other]\nUrl=wrong\n[Install]\nVersion=3\n[More]\nUrl=wrong\n",
                 {L"", L"", L"", L"3"}},
        ReadCase{"ValueAfterFirstEquals", "[Install]\nUrl=http://h/q?a=b\n", {L"http://h/q?a=b", L"", L"", L""}},
        ReadCase{"NotIni", "<html>404</html>", {L"", L"", L"", L""}},
        ReadCase{"Empty", "", {L"", L"", L"", L""}},
        ReadCase{"LongValueCut", "[Install]\nUrl=" + kLongValue + "\n",
                 {std::wstring(2047, L'v'), L"", L"", L""}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST_F(InstallManifestTest, CopyThatCannotBeRewrittenIsReadAsItIs) {
  StoreManifest(kWorkFolder, L"[Install]\r\nVersion=old\r\n");
  // Held open without write sharing, so the next copy cannot be written.
  HANDLE held = CreateFileW(L"C:\\work\\kvinstall.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  StoreManifest(kWorkFolder, L"[Install]\r\nVersion=new\r\n");
  EXPECT_EQ(ReadManifest(kWorkFolder).version, L"old");
  CloseHandle(held);
}

TEST(PackageSizeFromText, ConvertsLeadingDecimalNumberWithSaturation) {
  const struct {
    const wchar_t* text;
    INT64 expected;
  } cases[] = {
      {L"1048576", 1048576},
      {L"123abc", 123},
      {L"", 0},
      {L"abc", 0},
      {L"  \t42", 42},
      {L"+7", 7},
      {L"-5", -5},
      {L"9223372036854775807", LLONG_MAX},
      {L"99999999999999999999", LLONG_MAX},
      {L"-99999999999999999999", LLONG_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(PackageSizeFromText(c.text), c.expected) << "text: " << c.text;
}

}  // namespace
