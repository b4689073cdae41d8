// File handles and file operations: sharing between opens, creation dispositions and
// their last errors, I/O and positions, deletes and moves against open handles, finding,
// free space, and CRT streams.
#include <gtest/gtest.h>
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "internal/sharing.h"
#include "support/TempPrefix.h"

namespace {

constexpr DWORD kRead = GENERIC_READ;
constexpr DWORD kWrite = GENERIC_WRITE;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
  return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A prefix with C:\f.txt holding "content".
struct FileFixture : ::testing::Test {
  TempPrefix prefix;
  std::string host = prefix.Host("drive_c/f.txt");
  void SetUp() override { ASSERT_TRUE(WriteHostFile(host, "content")); }
};

using Sharing = FileFixture;
using Dispositions = FileFixture;
using FileIo = FileFixture;
using DeleteAndMove = FileFixture;
using Streams = FileFixture;
using Finding = FileFixture;
using DiskSpace = FileFixture;

}  // namespace

TEST_F(Sharing, SecondOpenIsCheckedBothWays) {
  struct Case {
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool allowed;
  } cases[] = {
      {kWrite, FILE_SHARE_READ, kWrite, kShareAll, false},                 // write not shared
      {kRead, FILE_SHARE_READ, kRead, FILE_SHARE_READ, true},              // readers together
      {kReadWrite, FILE_SHARE_READ, kRead, FILE_SHARE_READ, false},        // reader must share write
      {kReadWrite, FILE_SHARE_READ, kRead, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {kRead, 0, kRead, kShareAll, false},                                 // exclusive reader
      {0, 0, kWrite, 0, true},                                             // no data access, no claim
      {kRead, FILE_SHARE_READ | FILE_SHARE_WRITE, kWrite, kShareAll, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.firstAccess << "/" << c.firstShare << " then "
                                      << c.secondAccess << "/" << c.secondShare);
    HANDLE first = Open(L"C:\\f.txt", c.firstAccess, c.firstShare);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = Open(L"c:/f.txt", c.secondAccess, c.secondShare);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.allowed);
    if (second == INVALID_HANDLE_VALUE)
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    else
      CloseHandle(second);
    CloseHandle(first);
  }
  // Closing the holder lifts the refusal.
  HANDLE holder = Open(L"C:\\f.txt", kWrite, 0);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(L"C:\\f.txt", kRead, kShareAll), INVALID_HANDLE_VALUE);
  CloseHandle(holder);
  HANDLE again = Open(L"C:\\f.txt", kRead, kShareAll);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST_F(Sharing, RefusedTruncationLeavesTheFileIntact) {
  HANDLE holder = Open(L"C:\\f.txt", kRead, FILE_SHARE_READ);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(L"C:\\f.txt", kWrite, kShareAll, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ReadHostFile(host), "content");
  CloseHandle(holder);
}

TEST_F(Dispositions, CreateAndOpenWithTheirLastErrors) {
  struct Case {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD lastError;
    const char* contentAfter;  // null: no file afterwards
  } cases[] = {
      {CREATE_NEW, false, true, 0, ""},
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "content"},
      {CREATE_ALWAYS, false, true, 0, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_EXISTING, true, true, 0, "content"},
      {OPEN_ALWAYS, false, true, 0, ""},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "content"},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {TRUNCATE_EXISTING, true, true, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "disposition " << c.disposition << " exists " << c.exists);
    if (c.exists)
      ASSERT_TRUE(WriteHostFile(host, "content"));
    else
      std::filesystem::remove(host);
    SetLastError(12345);
    HANDLE file = Open(L"C:\\f.txt", kReadWrite, 0, c.disposition);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
    EXPECT_EQ(GetLastError(), c.lastError);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT_EQ(std::filesystem::exists(host), c.contentAfter != nullptr);
    if (c.contentAfter) {
      EXPECT_EQ(ReadHostFile(host), c.contentAfter);
    }
  }
}

TEST_F(Dispositions, MissingFolderIsPathNotFound) {
  for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS, CREATE_NEW}) {
    EXPECT_EQ(Open(L"C:\\nofolder\\f.txt", kWrite, 0, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << disposition;
  }
  // A missing drive is a missing folder too; a folder is not a file.
  EXPECT_EQ(Open(L"D:\\f.txt", kRead, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(Open(L"C:\\ProgramData", kRead, kShareAll), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Dispositions, InheritanceFlagDecidesCloseOnExec) {
  for (BOOL inherit : {FALSE, TRUE}) {
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, inherit};
    HANDLE file = CreateFileW(L"C:\\f.txt", kRead, kShareAll, &attributes, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // Find the descriptor behind the handle among the process's open files.
    int flags = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      if (std::filesystem::read_symlink(entry.path(), ec) == std::filesystem::canonical(host))
        flags = fcntl(std::stoi(entry.path().filename().string()), F_GETFD);
    }
    EXPECT_EQ(flags, inherit ? 0 : FD_CLOEXEC) << "inherit " << inherit;
    CloseHandle(file);
  }
}

TEST_F(FileIo, ReadWritePositionsAndSizes) {
  HANDLE file = Open(L"C:\\f.txt", kReadWrite, 0, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(file, "hello world", 11, &done, nullptr));
  EXPECT_EQ(done, 11u);

  EXPECT_EQ(SetFilePointer(file, 6, nullptr, FILE_BEGIN), 6u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));  // short read at the end
  EXPECT_EQ(std::string(buffer, done), "world");
  ASSERT_TRUE(ReadFile(file, buffer, 4, &done, nullptr));
  EXPECT_EQ(done, 0u);

  EXPECT_EQ(SetFilePointer(file, -6, nullptr, FILE_END), 5u);
  ASSERT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 5u);
  LARGE_INTEGER size{}, position{};
  ASSERT_TRUE(GetFileSizeEx(file, &size));
  EXPECT_EQ(size.QuadPart, 5);
  LARGE_INTEGER back{};
  back.QuadPart = -2;
  ASSERT_TRUE(SetFilePointerEx(file, back, &position, FILE_CURRENT));
  EXPECT_EQ(position.QuadPart, 3);

  // A move before the start fails and keeps the position.
  EXPECT_EQ(SetFilePointer(file, -10, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 3u);

  // Positions beyond 4 GiB need the high part.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 16, &high, FILE_BEGIN), 16u);
  EXPECT_EQ(high, 1);
  EXPECT_TRUE(FlushFileBuffers(file));
  CloseHandle(file);
  EXPECT_EQ(ReadHostFile(host), "hello");
}

TEST_F(FileIo, AccessTheHandleLacksIsDenied) {
  HANDLE reader = Open(L"C:\\f.txt", kRead, kShareAll);
  HANDLE writer = Open(L"C:\\f.txt", kWrite, kShareAll);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char byte = 'x';
  DWORD done = 0;
  EXPECT_FALSE(WriteFile(reader, &byte, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(SetEndOfFile(reader));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(ReadFile(writer, &byte, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(reader);
  CloseHandle(writer);
  EXPECT_EQ(ReadHostFile(host), "content");
}

TEST_F(FileIo, FullDiskFailsTheWrite) {
  HANDLE full = Open(L"Z:\\dev\\full", kWrite, kShareAll);
  ASSERT_NE(full, INVALID_HANDLE_VALUE);
  DWORD done = 99;
  EXPECT_FALSE(WriteFile(full, "data", 4, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(done, 0u);
  CloseHandle(full);
}

TEST_F(DeleteAndMove, RefusedWhileHeldWithoutDeleteSharing) {
  ASSERT_TRUE(WriteHostFile(prefix.Host("drive_c/other.txt"), "other"));
  for (DWORD share : {DWORD{FILE_SHARE_READ}, kShareAll}) {
    SCOPED_TRACE(::testing::Message() << "holder shares " << share);
    const bool refused = !(share & FILE_SHARE_DELETE);
    HANDLE holder = Open(L"C:\\f.txt", kRead, share);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(kvplat::IsOpenWithoutDeleteSharing(host), refused);

    // The held file as the target of a replacing move.
    EXPECT_EQ(MoveFileExW(L"C:\\other.txt", L"C:\\f.txt", MOVEFILE_REPLACE_EXISTING), !refused);
    if (refused) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
      // The held file as the source of a move, then as the file to delete.
      EXPECT_FALSE(MoveFileExW(L"C:\\f.txt", L"C:\\moved.txt", 0));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
      EXPECT_FALSE(DeleteFileW(L"C:\\f.txt"));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
      EXPECT_EQ(ReadHostFile(host), "content");
    } else {
      EXPECT_EQ(ReadHostFile(host), "other");
      EXPECT_TRUE(DeleteFileW(L"C:\\f.txt"));
      EXPECT_FALSE(std::filesystem::exists(host));
    }
    CloseHandle(holder);
  }
  EXPECT_FALSE(kvplat::IsOpenWithoutDeleteSharing(prefix.Host("drive_c/other.txt")));
}

TEST_F(DeleteAndMove, ErrorsOfMissingAndExistingNames) {
  ASSERT_TRUE(WriteHostFile(prefix.Host("drive_c/target.txt"), "target"));
  EXPECT_FALSE(MoveFileExW(L"C:\\f.txt", L"C:\\target.txt", 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(ReadHostFile(prefix.Host("drive_c/target.txt")), "target");
  EXPECT_TRUE(MoveFileExW(L"C:\\f.txt", L"C:\\target.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadHostFile(prefix.Host("drive_c/target.txt")), "content");
  EXPECT_FALSE(std::filesystem::exists(host));

  struct Case {
    BOOL (*call)();
    DWORD error;
  } cases[] = {
      {[] { return DeleteFileW(L"C:\\f.txt"); }, ERROR_FILE_NOT_FOUND},
      {[] { return DeleteFileW(L"C:\\nofolder\\f.txt"); }, ERROR_PATH_NOT_FOUND},
      {[] { return DeleteFileW(L"C:\\ProgramData"); }, ERROR_ACCESS_DENIED},
      {[] { return MoveFileExW(L"C:\\f.txt", L"C:\\g.txt", 0); }, ERROR_FILE_NOT_FOUND},
      {[] { return MoveFileExW(L"C:\\target.txt", L"C:\\nofolder\\g.txt", 0); }, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(DeleteAndMove, MoveToAnotherFileSystemCopies) {
  struct stat prefixStat {}, shmStat {};
  if (stat(prefix.Root().c_str(), &prefixStat) != 0 || stat("/dev/shm", &shmStat) != 0 ||
      prefixStat.st_dev == shmStat.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string name = "kvmove-test-" + std::to_string(getpid());
  std::wstring target = L"Z:\\dev\\shm\\" + std::wstring(name.begin(), name.end());
  ASSERT_TRUE(WriteHostFile("/dev/shm/" + name, "old"));
  EXPECT_TRUE(MoveFileExW(L"C:\\f.txt", target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadHostFile("/dev/shm/" + name), "content");
  EXPECT_FALSE(std::filesystem::exists(host));
  std::filesystem::remove("/dev/shm/" + name);
}

TEST_F(Finding, FindFirstFileReportsNameAttributesAndSize) {
  // A sparse file above 4 GiB checks both halves of the size.
  ASSERT_EQ(truncate(host.c_str(), (1ll << 32) + 5), 0);
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(L"C:\\f.txt", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, L"f.txt");
  EXPECT_EQ(data.nFileSizeHigh, 1u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindClose(find));

  ASSERT_TRUE(WriteHostFile(prefix.Host("drive_c/b.log"), "x"));
  ASSERT_TRUE(WriteHostFile(prefix.Host("drive_c/a.log"), "yy"));
  find = FindFirstFileW(L"C:\\*.log", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, L"a.log");
  EXPECT_EQ(data.nFileSizeLow, 2u);
  FindClose(find);
  find = FindFirstFileW(L"C:\\ProgramData", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(find);

  struct Case {
    const wchar_t* path;
    DWORD error;
  } misses[] = {
      {L"C:\\missing.txt", ERROR_FILE_NOT_FOUND},
      {L"C:\\*.none", ERROR_FILE_NOT_FOUND},
      {L"C:\\nofolder\\f.txt", ERROR_PATH_NOT_FOUND},
      {L"C:\\nofolder\\*", ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : misses) {
    EXPECT_EQ(FindFirstFileW(c.path, &data), INVALID_HANDLE_VALUE) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
}

TEST_F(DiskSpace, DiskFreeSpaceOfMappedDrivesOnly) {
  ULARGE_INTEGER available{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"C:", &available, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(available.QuadPart, free.QuadPart);
  EXPECT_LE(free.QuadPart, total.QuadPart);

  for (const wchar_t* root : {L"", L"D:", L"C:\\nofolder"}) {
    EXPECT_FALSE(GetDiskFreeSpaceExW(root, &available, &total, &free)) << root;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << root;
  }
  prefix.AddDrive('d');
  EXPECT_TRUE(GetDiskFreeSpaceExW(L"D:", &available, nullptr, nullptr));
}

TEST_F(Streams, ModesReadWriteAndAppend) {
  FILE* out = _wfopen(L"C:\\s.bin", L"wb");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(fwrite("abc", 1, 3, out), 3u);
  fclose(out);
  FILE* append = _wfopen(L"C:\\s.bin", L"a+");
  ASSERT_NE(append, nullptr);
  fputs("de", append);
  fclose(append);
  FILE* in = _wfopen(L"C:\\s.bin", L"r");
  ASSERT_NE(in, nullptr);
  ASSERT_EQ(_fseeki64(in, 0, SEEK_END), 0);
  EXPECT_EQ(_ftelli64(in), 5);
  rewind(in);
  char buffer[8] = {};
  EXPECT_EQ(fread(buffer, 1, sizeof buffer, in), 5u);
  EXPECT_STREQ(buffer, "abcde");
  fclose(in);

  struct Case {
    const wchar_t* path;
    const wchar_t* mode;
    int error;
  } failures[] = {
      {L"C:\\missing.bin", L"rb", ENOENT},
      {L"C:\\nofolder\\x.bin", L"w", ENOENT},
      {L"C:\\s.bin", L"q", EINVAL},
      {L"C:\\s.bin", L"rz", EINVAL},
      {L"C:\\s.bin", L"wx", EEXIST},
  };
  for (const auto& c : failures) {
    errno = 0;
    EXPECT_EQ(_wfopen(c.path, c.mode), nullptr) << c.mode;
    EXPECT_EQ(errno, c.error) << c.mode;
  }
}

TEST_F(Streams, AnOpenStreamHoldsTheFileAgainstDelete) {
  FILE* in = _wfopen(L"C:\\f.txt", L"rb");
  ASSERT_NE(in, nullptr);
  EXPECT_FALSE(DeleteFileW(L"C:\\f.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  // The stream shares reading and writing, so a writer may still open the file.
  HANDLE writer = Open(L"C:\\f.txt", kWrite, kShareAll);
  EXPECT_NE(writer, INVALID_HANDLE_VALUE);
  CloseHandle(writer);
  fclose(in);
  EXPECT_TRUE(DeleteFileW(L"C:\\f.txt"));
}
