#include <gtest/gtest.h>

#include <vector>

#include "support/SkinTestSupport.h"
#include "ui/framework/SkinArchive.h"

using namespace SkinUI;
using skintest::ZipTool;

namespace {

std::vector<BYTE> Bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

class SkinArchiveTest : public testing::Test {
 protected:
  TempPrefix prefix_;
  std::string Host(const std::string& name) { return prefix_.Host("drive_c/" + name); }
};

// Finds name and extracts it into a buffer of its exact size and into a larger one.
void ExpectEntry(CSkinArchive* archive, LPCWSTR name, const std::string& expected) {
  int index = -1;
  DWORD size = 0;
  ASSERT_EQ(ZipFindEntry(archive, name, &index, &size), ZipFindResult::Found);
  ASSERT_EQ(size, expected.size());
  std::vector<BYTE> exact(size);
  EXPECT_EQ(ZipExtractEntry(archive, index, exact.data(), size), ZipExtractResult::MoreDataPending);
  EXPECT_EQ(exact, Bytes(expected));
  std::vector<BYTE> roomy(size + 10);
  EXPECT_EQ(ZipExtractEntry(archive, index, roomy.data(), size + 10), ZipExtractResult::Complete);
  EXPECT_EQ(std::vector<BYTE>(roomy.begin(), roomy.begin() + size), Bytes(expected));
  if (size <= 10) return;
  std::vector<BYTE> small(10);
  EXPECT_EQ(ZipExtractEntry(archive, index, small.data(), 10), ZipExtractResult::MoreDataPending);
  EXPECT_EQ(small, Bytes(expected.substr(0, 10)));
}

TEST_F(SkinArchiveTest, ReadsArchivesWrittenByRealTools) {
  const std::string image = skintest::SampleBytes(40000, 1);
  const std::string xml = "<Window size=\"540,355\"><Font name=\"宋体\" size=\"12\"/></Window>";
  for (ZipTool tool : {ZipTool::InfoZipStored, ZipTool::InfoZipDeflated, ZipTool::PythonZipfile}) {
    SCOPED_TRACE(static_cast<int>(tool));
    ASSERT_TRUE(skintest::MakeArchive(tool, Host("skin.zip"), {{"images/btn.png", image}, {"InstallPackages.xml", xml}}));
    CSkinArchive* archive = ZipOpenFile(L"C:\\skin.zip");
    ASSERT_NE(archive, nullptr);
    ExpectEntry(archive, L"Images\\btn.png", image);
    ExpectEntry(archive, L"installpackages.XML", xml);
    int index = 0;
    EXPECT_EQ(ZipFindEntry(archive, L"images/btn", &index, nullptr), ZipFindResult::NotFound);
    EXPECT_EQ(ZipFindEntry(archive, L"btn.png", &index, nullptr), ZipFindResult::NotFound);
    ZipClose(archive);

    std::string bytes = ReadHostFile(Host("skin.zip"));
    archive = ZipOpenMemory(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    ASSERT_NE(archive, nullptr);
    ExpectEntry(archive, L"images/BTN.png", image);
    ZipClose(archive);
  }
}

TEST_F(SkinArchiveTest, RejectsBadArgumentsAndOverlongNames) {
  int index = 0;
  EXPECT_EQ(ZipFindEntry(nullptr, L"a", &index, nullptr), ZipFindResult::BadArgument);
  EXPECT_EQ(ZipExtractEntry(nullptr, 0, nullptr, 0), ZipExtractResult::Failure);
  EXPECT_EQ(ZipOpenFile(L"C:\\missing.zip"), nullptr);
  EXPECT_EQ(ZipOpenMemory(nullptr, 10), nullptr);

  std::string longName(256, 'n');
  ASSERT_TRUE(skintest::MakeArchive(ZipTool::PythonZipfile, Host("long.zip"), {{"a.txt", "abc"}}));
  CSkinArchive* archive = ZipOpenFile(L"C:\\long.zip");
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(ZipFindEntry(archive, std::wstring(longName.begin(), longName.end()).c_str(), &index, nullptr),
            ZipFindResult::NotFound);
  EXPECT_EQ(ZipExtractEntry(archive, 5, nullptr, 0), ZipExtractResult::Failure);
  ZipClose(archive);
}

TEST_F(SkinArchiveTest, FindsTheEndRecordOnlyWithin65535BytesOfTheEnd) {
  // The end record is 22 bytes; a comment of 65513 bytes puts it exactly 65535 bytes
  // before the end, one more byte puts it out of reach.
  const struct {
    size_t comment;
    bool opens;
  } cases[] = {{0, true}, {1000, true}, {65513, true}, {65514, false}, {65535, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comment);
    ASSERT_TRUE(skintest::MakeArchive(ZipTool::PythonZipfile, Host("c.zip"), {{"a.txt", "hello"}},
                                      std::string(c.comment, 'x')));
    CSkinArchive* archive = ZipOpenFile(L"C:\\c.zip");
    EXPECT_EQ(archive != nullptr, c.opens);
    if (archive) ExpectEntry(archive, L"a.txt", "hello");
    ZipClose(archive);
  }
}

// Every truncation and every single-byte corruption of a small archive either fails
// cleanly or still yields the exact original data (the CRC-32 check sees to that).
TEST_F(SkinArchiveTest, DamagedArchivesFailCleanly) {
  const std::string content = skintest::SampleBytes(300, 7);
  for (ZipTool tool : {ZipTool::InfoZipStored, ZipTool::InfoZipDeflated}) {
    ASSERT_TRUE(skintest::MakeArchive(tool, Host("d.zip"), {{"x.bin", content}}));
    const std::string good = ReadHostFile(Host("d.zip"));
    auto check = [&](const std::string& bytes) {
      CSkinArchive* archive = ZipOpenMemory(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
      if (!archive) return;
      int index = 0;
      DWORD size = 0;
      if (ZipFindEntry(archive, L"x.bin", &index, &size) == ZipFindResult::Found && size > 0 && size < (1u << 20)) {
        std::vector<BYTE> out(size);
        if (ZipExtractEntry(archive, index, out.data(), size) != ZipExtractResult::Failure) {
          EXPECT_EQ(out, Bytes(content));
        }
      }
      ZipClose(archive);
    };
    for (size_t length = 0; length < good.size(); ++length) check(good.substr(0, length));
    for (size_t i = 0; i < good.size(); ++i) {
      std::string bad = good;
      bad[i] = static_cast<char>(bad[i] ^ 0x5A);
      check(bad);
    }
  }
}

}  // namespace
