// Child processes and Windows command lines: splitting, quoting, CreateProcessW, waits
// and exit codes. The children are this test program itself, started in a child mode
// that records what it received.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "internal/cmdline.h"
#include "internal/drivemap.h"
#include "internal/utf.h"
#include "support/TempPrefix.h"

namespace {

// Child mode: with KV_TEST_CHILD_OUT set, the program writes its current folder, the
// exact command line its parent handed over, KV_PREFIX and then its argv to that file
// (NUL-separated), and exits with KV_TEST_CHILD_EXIT after KV_TEST_CHILD_SLEEP_MS, or
// aborts when KV_TEST_CHILD_ABORT is set.
struct ChildMode {
  ChildMode() {
    const char* out = std::getenv("KV_TEST_CHILD_OUT");
    if (!out) return;
    if (const char* sleepMs = std::getenv("KV_TEST_CHILD_SLEEP_MS")) usleep(std::atoi(sleepMs) * 1000);
    auto value = [](const char* name) {
      const char* v = std::getenv(name);
      return std::string(v ? v : "");
    };
    std::string record = std::filesystem::current_path().string() + '\0' +
                         value(kvplat::kCommandLineVariable) + '\0' + value("KV_PREFIX") + '\0' +
                         ReadHostFile("/proc/self/cmdline");
    WriteHostFile(std::string(out) + ".tmp", record);
    std::filesystem::rename(std::string(out) + ".tmp", out);
    if (std::getenv("KV_TEST_CHILD_ABORT")) std::abort();
    _exit(std::atoi(value("KV_TEST_CHILD_EXIT").c_str()));
  }
} childMode;

struct ChildRecord {
  std::string folder;
  std::wstring exactLine;
  std::string prefix;
  std::vector<std::wstring> argv;
};

ChildRecord ReadRecord(const std::string& path) {
  std::string bytes = ReadHostFile(path);
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\0') fields.push_back(bytes.substr(start, i - start)), start = i + 1;
  ChildRecord record;
  if (fields.size() < 3) return record;
  record.folder = fields[0];
  record.exactLine = kvplat::Utf8ToWide(fields[1]);
  record.prefix = fields[2];
  for (size_t i = 3; i < fields.size(); ++i) record.argv.push_back(kvplat::Utf8ToWide(fields[i]));
  return record;
}

std::wstring SelfPath() {
  return kvplat::ToWindowsPath(std::filesystem::read_symlink("/proc/self/exe").string());
}

// Runs a child with the settings of child mode; returns CreateProcessW's result.
class ChildRun {
 public:
  ChildRun(const TempPrefix& prefix, int exitCode = 0, int sleepMs = 0)
      : out_(prefix.Host("child.rec")) {
    setenv("KV_TEST_CHILD_OUT", out_.c_str(), 1);
    setenv("KV_TEST_CHILD_EXIT", std::to_string(exitCode).c_str(), 1);
    setenv("KV_TEST_CHILD_SLEEP_MS", std::to_string(sleepMs).c_str(), 1);
  }
  ~ChildRun() {
    unsetenv("KV_TEST_CHILD_OUT");
    unsetenv("KV_TEST_CHILD_EXIT");
    unsetenv("KV_TEST_CHILD_SLEEP_MS");
  }
  BOOL Start(const std::wstring& application, std::wstring commandLine, PROCESS_INFORMATION& info) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &info);
  }
  const std::string& Out() const { return out_; }

 private:
  std::string out_;
};

}  // namespace

TEST(CommandLine, SplitsAsCommandLineToArgvW) {
  struct Case {
    const wchar_t* line;
    std::vector<std::wstring> args;
  } cases[] = {
      {L"C:\\a\\KavroLauncher.exe -i \"8\" -d", {L"C:\\a\\KavroLauncher.exe", L"-i", L"8", L"-d"}},
      {L"C:\\w\\kvinstaller.exe /S \"/unpack=D:\\My Games\\Kavro网络\\KavroCorvix\" /launch=off",
       {L"C:\\w\\kvinstaller.exe", L"/S", L"/unpack=D:\\My Games\\Kavro网络\\KavroCorvix", L"/launch=off"}},
      // The program name takes no escapes; a trailing backslash before its quote stays.
      {L"\"C:\\Program Files\\x\\\" a", {L"C:\\Program Files\\x\\", L"a"}},
      {L"p a\\\\\\\"b \"c\\\\\" d\\e", {L"p", L"a\\\"b", L"c\\", L"d\\e"}},
      {L"p \"a\"\"b\" \"\" x\t\ty  ", {L"p", L"a\"b", L"", L"x", L"y"}},
      {L"p a\"b c\"d", {L"p", L"ab cd"}},
      {L"p", {L"p"}},
      {L"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(kvplat::SplitCommandLine(c.line), c.args) << c.line;
}

TEST(CommandLine, CommandLineToArgvWHandsOutOneBlock) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(L"x.exe /S \"/unpack=C:\\My Games\\中文\" /launch=off", &count);
  ASSERT_NE(argv, nullptr);
  ASSERT_EQ(count, 4);
  EXPECT_STREQ(argv[2], L"/unpack=C:\\My Games\\中文");
  EXPECT_EQ(argv[4], nullptr);
  LocalFree(argv);

  argv = CommandLineToArgvW(L"", &count);  // the program's own path
  ASSERT_EQ(count, 1);
  WCHAR self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_STREQ(argv[0], self);
  LocalFree(argv);
}

TEST(CommandLine, QuotingRoundTrips) {
  const wchar_t* args[] = {L"plain", L"", L"with blank", L"tab\there", L"q\"uote",
                           L"trail\\", L"blank trail\\", L"a\\\\\"b", L"中文 路径\\"};
  for (const wchar_t* arg : args) {
    std::wstring line = L"prog " + kvplat::QuoteArgument(arg);
    auto split = kvplat::SplitCommandLine(line);
    ASSERT_EQ(split.size(), 2u) << line;
    EXPECT_EQ(split[1], arg) << line;
  }
  EXPECT_EQ(kvplat::QuoteArgument(L"-d"), L"-d");
  EXPECT_EQ(kvplat::ArgumentsAfterProgramName(L"\"C:\\a b\\x.exe\"   -i \"8\" -d"), L"-i \"8\" -d");
  EXPECT_EQ(kvplat::ArgumentsAfterProgramName(L"x.exe"), L"");
}

TEST(CommandLine, ArgsRecoverTheExactLineOnlyWhenItStillMatches) {
  std::string a0 = "C:\\w\\kvinstaller.exe", a1 = "/S", a2 = "/unpack=D:\\My Games";
  char* argv[] = {a0.data(), a1.data(), a2.data()};
  unsetenv(kvplat::kCommandLineVariable);
  EXPECT_EQ(kvplat::CommandLineFromArgs(3, argv), L"C:\\w\\kvinstaller.exe /S \"/unpack=D:\\My Games\"");
  setenv(kvplat::kCommandLineVariable, "C:\\w\\kvinstaller.exe  /S \"/unpack=D:\\My \"Games", 1);
  EXPECT_EQ(kvplat::CommandLineFromArgs(3, argv), L"C:\\w\\kvinstaller.exe  /S \"/unpack=D:\\My \"Games");
  setenv(kvplat::kCommandLineVariable, "other.exe /S", 1);  // inherited from a grandparent
  EXPECT_EQ(kvplat::CommandLineFromArgs(3, argv), L"C:\\w\\kvinstaller.exe /S \"/unpack=D:\\My Games\"");
  unsetenv(kvplat::kCommandLineVariable);
}

TEST(CreateProcess, ChildReceivesTheWindowsCommandLineAndOurEnvironment) {
  TempPrefix prefix;
  const std::wstring self = SelfPath();
  const std::wstring lines[] = {
      self + L" -i \"8\" -d",
      self + L" /S \"/unpack=C:\\My Games\\Kavro网络\\KavroCorvix\" /launch=off",
  };
  const std::vector<std::wstring> expected[] = {
      {self, L"-i", L"8", L"-d"},
      {self, L"/S", L"/unpack=C:\\My Games\\Kavro网络\\KavroCorvix", L"/launch=off"},
  };
  for (size_t i = 0; i < std::size(lines); ++i) {
    ChildRun run(prefix, static_cast<int>(40 + i));
    std::filesystem::remove(run.Out());
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(run.Start(self, lines[i], info)) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 40 + i);
    EXPECT_GT(info.dwProcessId, 0u);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));

    ChildRecord record = ReadRecord(run.Out());
    EXPECT_EQ(record.argv, expected[i]);
    EXPECT_EQ(record.exactLine, lines[i]);
    EXPECT_EQ(record.folder, std::filesystem::current_path().string());
    EXPECT_EQ(record.prefix, prefix.Root());
  }
}

TEST(CreateProcess, StartsAFileWithoutItsRunBit) {
  TempPrefix prefix;
  std::string copy = prefix.Host("drive_c/work/kvinstaller.exe");
  std::filesystem::create_directories(std::filesystem::path(copy).parent_path());
  std::filesystem::copy_file("/proc/self/exe", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  ChildRun run(prefix, 7);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(run.Start(L"C:\\work\\kvinstaller.exe", L"C:\\work\\kvinstaller.exe /S", info)) << GetLastError();
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  EXPECT_EQ(ReadRecord(run.Out()).argv, (std::vector<std::wstring>{L"C:\\work\\kvinstaller.exe", L"/S"}));
}

TEST(CreateProcess, FailuresCarryWindowsErrorCodes) {
  TempPrefix prefix;
  WriteHostFile(prefix.Host("drive_c/notes.exe"), "just text, no program\n");
  std::filesystem::create_directories(prefix.Host("drive_c/folder.exe"));
  struct Case {
    const wchar_t* application;
    DWORD error;
  } cases[] = {
      {L"C:\\missing.exe", ERROR_FILE_NOT_FOUND},
      {L"C:\\no\\such\\folder\\x.exe", ERROR_PATH_NOT_FOUND},
      {L"C:\\folder.exe", ERROR_ACCESS_DENIED},
      {L"C:\\notes.exe", ERROR_BAD_EXE_FORMAT},
  };
  ChildRun run(prefix);
  for (const auto& c : cases) {
    PROCESS_INFORMATION info{};
    SetLastError(0);
    EXPECT_FALSE(run.Start(c.application, std::wstring(c.application) + L" -d", info)) << c.application;
    EXPECT_EQ(GetLastError(), c.error) << c.application;
  }
}

TEST(CreateProcess, RunningChildIsStillActiveAndOutlivesItsHandles) {
  TempPrefix prefix;
  ChildRun run(prefix, 5, 300);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(run.Start(SelfPath(), SelfPath(), info));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_TIMEOUT);
  // Closing both handles neither waits for the child nor stops it.
  EXPECT_TRUE(CloseHandle(info.hProcess));
  EXPECT_TRUE(CloseHandle(info.hThread));
  EXPECT_FALSE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  for (int i = 0; i < 500 && !std::filesystem::exists(run.Out()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(std::filesystem::exists(run.Out()));
}

TEST(CreateProcess, AbortedChildDoesNotReportSuccess) {
  TempPrefix prefix;
  ChildRun run(prefix);
  setenv("KV_TEST_CHILD_ABORT", "1", 1);
  PROCESS_INFORMATION info{};
  BOOL started = run.Start(SelfPath(), SelfPath(), info);
  unsetenv("KV_TEST_CHILD_ABORT");
  ASSERT_TRUE(started);
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 3u);  // what abort() leaves on Windows
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
}
