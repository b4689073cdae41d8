// CFileEx over the platform's files: open flags, errors and the throws.
#include <gtest/gtest.h>

#include <string>

#include "Runtime/FileEx.h"
#include "support/TempPrefix.h"

namespace {

constexpr DWORD kDownloadFlags = 0xB0A2;  // read/write, others read, open or create
constexpr DWORD kRecordFlags = 0x90A1;    // write, others read, create anew

struct FileEx : ::testing::Test {
  TempPrefix prefix;
  std::string host = prefix.Host("drive_c/f.bin");
};

}  // namespace

TEST_F(FileEx, OpenOrCreateKeepsExistingContent) {
  {
    CFileEx file;
    ASSERT_TRUE(file.Open(L"C:\\f.bin", kDownloadFlags, nullptr));
    EXPECT_EQ(file.SeekToEnd(), 0u);
    EXPECT_EQ(ReadHostFile(host), "");
  }
  ASSERT_TRUE(WriteHostFile(host, "partial"));
  CFileEx file;
  ASSERT_TRUE(file.Open(L"C:\\f.bin", kDownloadFlags, nullptr));
  EXPECT_EQ(file.SeekToEnd(), 7u);
  file.Write("+more", 5);
  EXPECT_EQ(file.GetPosition(), 12u);
  EXPECT_EQ(file.Seek(0, FILE_BEGIN), 0u);
  char buffer[32] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 12u);
  EXPECT_EQ(std::string(buffer, 12), "partial+more");

  // Others may read (sharing its writing) but not write while it is open.
  CFileEx reader, writer;
  EXPECT_TRUE(reader.Open(L"C:\\f.bin", 0x40, nullptr));
  CFileExException error;
  EXPECT_FALSE(writer.Open(L"C:\\f.bin", kRecordFlags, &error));
  EXPECT_EQ(error.code, ERROR_SHARING_VIOLATION);

  file.SetLength(3);
  EXPECT_EQ(file.GetPosition(), 3u);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadHostFile(host), "par");
}

TEST_F(FileEx, CreateAnewReplacesContent) {
  ASSERT_TRUE(WriteHostFile(host, "old content"));
  CFileEx file;
  ASSERT_TRUE(file.Open(L"C:\\f.bin", kRecordFlags, nullptr));
  file.Write("new", 3);
  char byte;
  EXPECT_THROW(file.Read(&byte, 1), CFileExException);  // opened for writing only
  file.Flush();
  file.Close();
  EXPECT_EQ(ReadHostFile(host), "new");
}

TEST_F(FileEx, OpenFailuresFillTheErrorRecord) {
  struct Case {
    const wchar_t* path;
    DWORD flags;
    int32_t code;
  } cases[] = {
      {L"C:\\nofolder\\f.bin", kDownloadFlags, ERROR_PATH_NOT_FOUND},
      {L"C:\\missing.bin", 0x0, ERROR_FILE_NOT_FOUND},  // open existing only
  };
  for (const auto& c : cases) {
    CFileEx file;
    CFileExException error;
    EXPECT_FALSE(file.Open(c.path, c.flags, &error));
    EXPECT_EQ(error.message, L"INVALID_HANDLE_VALUE");
    EXPECT_EQ(error.code, c.code);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetFilePath(), c.path);
  }
  CFileEx file;
  EXPECT_FALSE(file.Open(L"C:\\nofolder\\f.bin", kDownloadFlags, nullptr));  // no record: no crash
}

TEST_F(FileEx, FullDiskThrowsWithThePath) {
  CFileEx file;
  ASSERT_TRUE(file.Open(L"Z:\\dev\\full", 0x1, nullptr));
  try {
    file.Write("data", 4);
    FAIL() << "no throw";
  } catch (const CFileExException& e) {
    EXPECT_EQ(e.code, ERROR_DISK_FULL);
    EXPECT_EQ(e.message, L"Z:\\dev\\full");
  }
  file.Abort();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.GetFilePath(), L"");
}

TEST_F(FileEx, ReopeningReleasesTheEarlierHandle) {
  CFileEx file;
  ASSERT_TRUE(file.Open(L"C:\\f.bin", kRecordFlags, nullptr));
  ASSERT_TRUE(file.Open(L"C:\\g.bin", kRecordFlags, nullptr));
  // The first file is no longer held: it can be deleted.
  EXPECT_TRUE(DeleteFileW(L"C:\\f.bin"));
}

TEST_F(FileEx, OperationsOnAClosedFileThrow) {
  CFileEx file;
  char byte = 0;
  EXPECT_THROW(file.Read(&byte, 1), CFileExException);
  EXPECT_THROW(file.Write(&byte, 1), CFileExException);
  EXPECT_THROW(file.GetPosition(), CFileExException);
  EXPECT_EQ(file.Read(&byte, 0), 0u);  // nothing asked, nothing done
  EXPECT_NO_THROW(file.Write(&byte, 0));
  EXPECT_NO_THROW(file.Flush());
  EXPECT_NO_THROW(file.Abort());
  EXPECT_NO_THROW(file.Close());
}
