// Resumable downloads against the local publisher server: fresh, resumed, range ignored,
// wrong length, already complete, too large, error status; progress and speed; a large
// file through repeated connection drops; and tasks stopped in the middle of fast
// transfers, which must leave their files alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <vector>

#include "Http/HttpChannels.h"
#include "Http/HttpCommand.h"
#include "Http/HttpDownloadFile.h"
#include "Http/HttpMgr.h"
#include "HttpTestRuntime.h"

namespace {

struct TProgress {
  uint64_t total;
  uint64_t done;
  uint32_t speed;
  bool operator==(const TProgress&) const = default;
};

struct TDownloadLog {
  std::vector<THttpOutcome> outcomes;
  std::vector<TProgress> progress;
};

void RecordDone(UINT_PTR userData, ErrType type, int code) {
  reinterpret_cast<TDownloadLog*>(userData)->outcomes.push_back({type, code});
}

void RecordProgress(UINT_PTR userData, uint64_t total, uint64_t done, uint32_t speed) {
  reinterpret_cast<TDownloadLog*>(userData)->progress.push_back({total, done, speed});
}

bool StartInto(CHttpDownloadFile& task, TDownloadLog& log, const std::wstring& url,
               const std::wstring& path, uint64_t expected) {
  return task.StartDownload(url, path, expected, reinterpret_cast<UINT_PTR>(&log), RecordDone,
                            RecordProgress);
}

int64_t HostSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds run several times slower: they move less data.
constexpr uint64_t kLargeFileBytes = 32ull << 20;
constexpr int kStopRounds = 12;
#else
constexpr uint64_t kLargeFileBytes = 256ull << 20;
constexpr int kStopRounds = 40;
#endif

using HttpDownloadTest = HttpTestRuntime;

}  // namespace

TEST_F(HttpDownloadTest, LocalFileDecidesHowToFetch) {
  std::string source(1000, '\0');
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7 + 3);
  ASSERT_TRUE(WriteHostFile(ServedPath("pkg.bin"), source));
  const std::string noFile = "\x01";  // marker: no local file at the start
  struct Case {
    const char* name;
    std::string initial;
    const char* rule;
    THttpOutcome outcome;
    const char* range;  // of the one request, "" for none, nullptr for no request
    std::optional<TProgress> firstProgress;
    bool complete;  // the local file ends equal to the source
    const wchar_t* logText;
  } cases[] = {
      {"fresh", noFile, "", {kErrOk, 0}, "", TProgress{1000, 0, 0}, true,
       L"非断点 C:\\work\\pkg.bin.yw pos:0"},
      {"resumed", source.substr(0, 400), "", {kErrOk, 0}, "bytes=400-", TProgress{1000, 400, 0},
       true, L"开始断点下载 C:\\work\\pkg.bin.yw pos:400"},
      {"range ignored", source.substr(0, 400), "ignore_range=1", {kErrOk, 0}, "bytes=400-",
       TProgress{1000, 0, 0}, true, L"httpcode==200 不支持断点续传，清空文件"},
      {"wrong length", source.substr(0, 400), "length=500", {kErrUser, 2007}, "bytes=400-",
       std::nullopt, false, L"长度不一致 预期值:1000 实际值:900"},
      {"already complete", source, "", {kErrOk, 0}, nullptr, std::nullopt, true,
       L"文件大小等于预计大小，下载已完成 C:\\work\\pkg.bin.yw pos:1000"},
      {"larger than expected", std::string(1200, 'x'), "", {kErrOk, 0}, "", TProgress{1000, 0, 0},
       true, L"C:\\work\\pkg.bin.yw文件大小(1200)大于预期(1000)大小  "},
      {"error status", noFile, "status=404&body=nothing+here", {kErrHttp, 404}, "", std::nullopt,
       false, L"CHttpDownloadFile::Done()  code:404 errtype:4  url:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_->Clear();
    if (*c.rule) server_->SetRule("/pkg.bin", c.rule);
    const std::string local = LocalHostPath("pkg.bin.yw");
    std::remove(local.c_str());
    if (c.initial != noFile) {
      ASSERT_TRUE(WriteHostFile(local, c.initial));
    }

    const size_t logged = CountLog(c.logText);
    CHttpDownloadFile task;
    TDownloadLog log;
    ASSERT_TRUE(StartInto(task, log, server_->WideUrl("/pkg.bin"), LocalPath("pkg.bin.yw"), 1000));
    ASSERT_TRUE(PumpMessagesUntil([&] { return !log.outcomes.empty(); }, kWaitMs));
    task.Stop();
    PumpMessagesFor(30);
    EXPECT_EQ(log.outcomes.front(), c.outcome);
    EXPECT_GT(CountLog(c.logText), logged);
    auto requests = server_->RequestsFor("/pkg.bin");
    if (!c.range) {
      EXPECT_TRUE(requests.empty());
    } else {
      ASSERT_EQ(requests.size(), 1u);
      const std::string range = *c.range ? "\"range\": \"" + std::string(c.range) + "\""
                                         : "\"range\": null";
      EXPECT_NE(requests[0].find(range), std::string::npos) << requests[0];
    }
    if (c.firstProgress) {
      ASSERT_FALSE(log.progress.empty());
      EXPECT_EQ(log.progress.front(), *c.firstProgress);
    }
    if (c.complete) {
      EXPECT_EQ(ReadHostFile(local), source);
    }
    if (c.outcome.type == kErrHttp) {
      EXPECT_EQ(HostSize(local), 0);  // no byte of the error body
    }
  }
}

TEST_F(HttpDownloadTest, SpeedRisesByTenthsOverTheFirstTenReports) {
  StopSchedulerTimer();  // the reports below are the only ones
  ASSERT_TRUE(WriteHostFile(ServedPath("pkg.bin"), std::string(100000, 's')));
  server_->SetRule("/pkg.bin", "throttle=1");
  CHttpDownloadFile task;
  TDownloadLog log;
  ASSERT_TRUE(StartInto(task, log, server_->WideUrl("/pkg.bin"), LocalPath("pkg.bin.yw"), 0));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !log.progress.empty(); }, kWaitMs));
  EXPECT_EQ(log.progress.front(), (TProgress{100000, 0, 0}));
  std::vector<uint32_t> speeds;
  for (int second = 0; second < 12; ++second) {
    task.AddReceived(100000);
    task.ReportProgress();
    speeds.push_back(log.progress.back().speed);
  }
  EXPECT_EQ(speeds, (std::vector<uint32_t>{10000, 20000, 30000, 40000, 50000, 60000, 70000, 80000,
                                           90000, 100000, 100000, 100000}));
  task.Stop();
}

TEST_F(HttpDownloadTest, FirstProgressAtTheFirstTickAfterTheHeadersThenEverySecond) {
  ASSERT_TRUE(WriteHostFile(ServedPath("pkg.bin"), std::string(4000, 'q')));
  server_->SetRule("/pkg.bin", "throttle=1000");
  CHttpDownloadFile task;
  TDownloadLog log;
  ASSERT_TRUE(StartInto(task, log, server_->WideUrl("/pkg.bin"), LocalPath("pkg.bin.yw"), 4000));
  ASSERT_TRUE(PumpMessagesUntil([&] { return log.progress.size() >= 4; }, kWaitMs));
  task.Stop();
  // Headers first (speed 0), then one report a second with the bytes so far.
  EXPECT_EQ(log.progress[0], (TProgress{4000, 0, 0}));
  for (size_t i = 1; i < log.progress.size(); ++i) {
    EXPECT_EQ(log.progress[i].total, 4000u);
    EXPECT_GE(log.progress[i].done, log.progress[i - 1].done);
    EXPECT_LE(log.progress[i].done, 4000u);
  }
  EXPECT_GT(log.progress.back().done, 0u);
}

TEST_F(HttpDownloadTest, LargeFileSurvivesRepeatedConnectionDrops) {
  const std::string source = ServedPath("big.bin");
  ASSERT_TRUE(WriteRandomFile(source, kLargeFileBytes, 42));
  const uint64_t piece = kLargeFileBytes / 6 + 12345;
  server_->SetRule("/big.bin", "drop_after=" + std::to_string(piece) + "&drops=5");
  CHttpDownloadFile task;
  TDownloadLog log;
  int submissions = 0;
  // Failures that outlive the task's own retries are resubmitted, as the installer does.
  while (submissions < 8 && (log.outcomes.empty() || log.outcomes.back().type != kErrOk)) {
    ++submissions;
    ASSERT_TRUE(StartInto(task, log, server_->WideUrl("/big.bin"), LocalPath("big.bin.yw"),
                          kLargeFileBytes));
    size_t seen = log.outcomes.size();
    ASSERT_TRUE(PumpMessagesUntil([&] { return log.outcomes.size() > seen; }, 120000));
    task.Stop();
  }
  ASSERT_FALSE(log.outcomes.empty());
  EXPECT_EQ(log.outcomes.back(), (THttpOutcome{kErrOk, 0}));
  for (size_t i = 0; i + 1 < log.outcomes.size(); ++i)
    EXPECT_EQ(log.outcomes[i], (THttpOutcome{kErrCurl, CURLE_PARTIAL_FILE}));
  auto requests = server_->RequestsFor("/big.bin");
  EXPECT_EQ(requests.size(), 6u);
  for (size_t i = 1; i < requests.size(); ++i)
    EXPECT_NE(requests[i].find("\"range\": \"bytes="), std::string::npos) << requests[i];
  EXPECT_EQ(DigestFile(LocalHostPath("big.bin.yw")), DigestFile(source));
  std::remove(source.c_str());
  std::remove(LocalHostPath("big.bin.yw").c_str());
}

// Stops downloads and commands while their bodies stream in at full speed. Once Stop()
// returns, the file is closed and keeps its length, and no byte is written into a closed
// file or a freed buffer (the sanitizer build checks the latter).
TEST_F(HttpDownloadTest, StoppingInTheMiddleOfFastTransfersLeavesTheOutputAlone) {
  const std::string source = ServedPath("fast.bin");
  ASSERT_TRUE(WriteRandomFile(source, 64ull << 20, 7));
  const std::string local = LocalHostPath("fast.bin.yw");
  for (int round = 0; round < kStopRounds; ++round) {
    SCOPED_TRACE(round);
    CHttpDownloadFile task;
    TDownloadLog log;
    CHttpCommand command;
    command.SetUrl(server_->WideUrl("/fast.bin"));
    ASSERT_TRUE(Submit(&command, CommandManager()));
    ASSERT_TRUE(StartInto(task, log, server_->WideUrl("/fast.bin"), LocalPath("fast.bin.yw"), 0));
    ASSERT_TRUE(PumpMessagesUntil([&] { return HostSize(local) > 0 || !log.outcomes.empty(); }, kWaitMs));
    Sleep(round % 4);
    task.Stop();
    command.Stop();
    const int64_t stopped = HostSize(local);
    // The writer is closed: the file opens for writing again.
    HANDLE file = CreateFileW(LocalPath("fast.bin.yw").c_str(), GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    PumpMessagesFor(20);
    EXPECT_EQ(HostSize(local), stopped);
  }
  std::remove(source.c_str());
  std::remove(local.c_str());
}
