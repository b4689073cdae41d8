#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "internal/resources.h"
#include "support/SkinTestSupport.h"
#include "ui/framework/SkinResources.h"
#include "ui/framework/XmlDocument.h"

using namespace SkinUI;
using skintest::ZipTool;

namespace {

class SkinResourcesTest : public testing::Test {
 protected:
  SkinResourcesTest() { CSkinResources::Reset(); }
  ~SkinResourcesTest() override { CSkinResources::Reset(); }
  std::string Host(const std::string& name) { return prefix_.Host("drive_c/" + name); }
  TempPrefix prefix_;
};

std::string Text(const std::vector<BYTE>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST_F(SkinResourcesTest, ResourceFolderEndsWithASeparator) {
  const struct {
    const wchar_t* given;
    const wchar_t* stored;
  } cases[] = {{L"C:\\skin", L"C:\\skin\\"}, {L"C:\\skin\\", L"C:\\skin\\"}, {L"C:\\skin/", L"C:\\skin/"}, {L"", L""}};
  for (const auto& c : cases) {
    CSkinResources::SetResourceFolder(c.given);
    EXPECT_EQ(CSkinResources::GetResourceFolder(), c.stored);
  }
}

TEST_F(SkinResourcesTest, SkinFilesFromTheFolderReportEachLoadError) {
  const std::string limit(CXmlDocument::kMaxSkinFileSize - 4, ' ');
  ASSERT_TRUE(WriteHostFile(Host("skin/ok.xml"), "<Window/>"));
  ASSERT_TRUE(WriteHostFile(Host("skin/empty.xml"), ""));
  ASSERT_TRUE(WriteHostFile(Host("skin/limit.xml"), "<a/>" + limit));
  ASSERT_TRUE(WriteHostFile(Host("skin/over.xml"), "<a/>" + limit + " "));
  CSkinResources::SetResourceFolder(L"C:\\skin");
  const struct {
    const wchar_t* name;
    const wchar_t* error;  // null: parses
  } cases[] = {{L"ok.xml", nullptr},
               {L"limit.xml", nullptr},
               {L"over.xml", L"File too large"},
               {L"empty.xml", L"File is empty"},
               {L"missing.xml", L"Error opening file"}};
  for (const auto& c : cases) {
    CXmlDocument doc;
    bool ok = doc.ParseSkinFile(c.name);
    EXPECT_EQ(ok, c.error == nullptr) << doc.ErrorMessage();
    if (c.error) {
      EXPECT_STREQ(doc.ErrorMessage(), c.error);
    }
  }
}

TEST_F(SkinResourcesTest, SkinFilesFromTheArchiveReportEachLoadError) {
  ASSERT_TRUE(skintest::MakeArchive(ZipTool::InfoZipDeflated, Host("skin/skin.zip"),
                                    {{"InstallPackages.xml", "<Window><Font/></Window>"}, {"empty.xml", ""}}));
  CSkinResources::SetResourceFolder(L"C:\\skin\\");
  CSkinResources::SetResourceArchive(L"skin.zip");
  const struct {
    const wchar_t* name;
    const wchar_t* error;
  } cases[] = {{L"installpackages.xml", nullptr},
               {L"MessageBox.xml", L"Could not find ziped file"},
               {L"empty.xml", L"File is empty"}};
  for (const auto& c : cases) {
    CXmlDocument doc;
    EXPECT_EQ(doc.ParseSkinFile(c.name), c.error == nullptr);
    if (c.error) {
      EXPECT_STREQ(doc.ErrorMessage(), c.error);
    }
  }
  // The archive stays open: selecting it again does not reopen it, so removing the file
  // changes nothing.
  std::filesystem::remove(Host("skin/skin.zip"));
  CSkinResources::SetResourceArchive(L"skin.zip");
  CXmlDocument doc;
  EXPECT_TRUE(doc.ParseSkinFile(L"InstallPackages.xml"));
  // Another name closes it and opens the new one, which does not exist.
  CSkinResources::SetResourceArchive(L"other.zip");
  EXPECT_FALSE(doc.ParseSkinFile(L"InstallPackages.xml"));
  EXPECT_STREQ(doc.ErrorMessage(), L"Error opening zip file");
}

TEST_F(SkinResourcesTest, DamagedEntryCannotBeUnzipped) {
  ASSERT_TRUE(skintest::MakeArchive(ZipTool::InfoZipStored, Host("skin/skin.zip"), {{"a.xml", "<Window/>"}}));
  std::string bytes = ReadHostFile(Host("skin/skin.zip"));
  size_t at = bytes.find("<Window/>");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 1] = 'X';
  ASSERT_TRUE(WriteHostFile(Host("skin/skin.zip"), bytes));
  CSkinResources::SetResourceFolder(L"C:\\skin");
  CSkinResources::SetResourceArchive(L"skin.zip");
  CXmlDocument doc;
  EXPECT_FALSE(doc.ParseSkinFile(L"a.xml"));
  EXPECT_STREQ(doc.ErrorMessage(), L"Could not unzip file");
}

TEST_F(SkinResourcesTest, ReadsItemsInTheDocumentedOrder) {
  ASSERT_TRUE(skintest::MakeArchive(ZipTool::PythonZipfile, Host("skin/skin.zip"),
                                    {{"images/a.png", "from archive"}, {"zero.png", ""}}));
  ASSERT_TRUE(WriteHostFile(Host("skin/images/a.png"), "from folder"));
  ASSERT_TRUE(WriteHostFile(Host("loose.png"), "loose file"));
  ASSERT_TRUE(WriteHostFile(Host("zero.png"), "not in the archive"));
  static const char kResource[] = "from resource";
  kvplat::RegisterModuleResource(L"PNG", MAKEINTRESOURCEW(321), kResource, sizeof(kResource) - 1);
  std::vector<BYTE> bytes;

  CSkinResources::SetResourceFolder(L"C:\\skin");
  EXPECT_TRUE(CSkinResources::ReadResourceBytes(L"images\\a.png", nullptr, bytes));
  EXPECT_EQ(Text(bytes), "from folder");
  EXPECT_TRUE(CSkinResources::ReadResourceBytes(MAKEINTRESOURCEW(321), L"png", bytes));
  EXPECT_EQ(Text(bytes), "from resource");

  CSkinResources::SetResourceArchive(L"skin.zip");
  EXPECT_TRUE(CSkinResources::ReadResourceBytes(L"Images\\A.png", nullptr, bytes));
  EXPECT_EQ(Text(bytes), "from archive");
  // Absent from the archive, or there with size 0: the name itself is tried as a path.
  EXPECT_TRUE(CSkinResources::ReadResourceBytes(L"C:\\loose.png", nullptr, bytes));
  EXPECT_EQ(Text(bytes), "loose file");
  EXPECT_FALSE(CSkinResources::ReadResourceBytes(L"zero.png", nullptr, bytes));
  EXPECT_TRUE(CSkinResources::ReadResourceBytes(L"C:\\zero.png", nullptr, bytes));
  EXPECT_FALSE(CSkinResources::ReadResourceBytes(L"nowhere.png", nullptr, bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST_F(SkinResourcesTest, InMemoryArchiveComesFromTheZipResource) {
  ASSERT_TRUE(skintest::MakeArchive(ZipTool::InfoZipDeflated, Host("res.zip"), {{"MessageBox.xml", "<Window/>"}}));
  static const std::string image = ReadHostFile(Host("res.zip"));
  EXPECT_FALSE(CSkinResources::LoadZipResourceImage(150));
  kvplat::RegisterModuleResource(L"ZIPRES", MAKEINTRESOURCEW(150), image.data(), static_cast<DWORD>(image.size()));
  ASSERT_TRUE(CSkinResources::LoadZipResourceImage(150));
  CSkinResources::SetResourceArchiveMemory();
  EXPECT_EQ(CSkinResources::GetResourceArchiveName(), L"membuffer");
  CSkinResources::SetResourceArchiveMemory();
  CXmlDocument doc;
  EXPECT_TRUE(doc.ParseSkinFile(L"MessageBox.xml"));
  // Releasing the image closes the archive that reads from it.
  CSkinResources::ReleaseZipResourceImage();
  EXPECT_FALSE(doc.ParseSkinFile(L"MessageBox.xml"));
  EXPECT_STREQ(doc.ErrorMessage(), L"Error opening zip file");
  CSkinResources::CloseResourceArchive();
  EXPECT_FALSE(doc.ParseSkinFile(L"MessageBox.xml"));
  EXPECT_STREQ(doc.ErrorMessage(), L"Error opening zip file");
  EXPECT_EQ(CSkinResources::GetResourceArchiveName(), L"membuffer");
}

}  // namespace
