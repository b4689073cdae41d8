// Log line layout, disabled loggers, the three outputs and the KV_LOG switch.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "Runtime/Log.h"
#include "Runtime/TextUtils.h"
#include "support/CapturedStream.h"
#include "support/LocaleScope.h"
#include "support/TempPrefix.h"

namespace {

// A logger that keeps its lines; enabled whenever options are attached.
class RecordingLogger : public BaseLogger {
 public:
  void Write(const std::wstring& text) override { lines.push_back(text); }
  bool IsEnabled() override { return enabled; }
  bool enabled = false;
  std::vector<std::wstring> lines;
};

std::unique_ptr<LogOptions> Options(BYTE prefixFlags, BYTE appendNewLine) {
  auto options = std::make_unique<LogOptions>();
  options->prefixFlags = prefixFlags;
  options->appendNewLine = appendNewLine;
  return options;
}

// A %s argument no formatter can read without crashing: it proves a call formatted
// nothing when it returns normally.
const wchar_t* const kUnreadable = reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(16));

// Every test leaves the process-wide loggers switched off.
class LoggingTest : public ::testing::Test {
 protected:
  void TearDown() override { ConfigureLogging(""); }
};

}  // namespace

TEST_F(LoggingTest, LinePiecesFollowEachOtherInOrder) {
  RecordingLogger logger;
  logger.enabled = true;
  logger.SetOptions(Options(LogPrefix_Time | LogPrefix_ProcessId | LogPrefix_ThreadId, 1));
  logger.LogAt(LogLevel_Warn, 708, L".\\CommonUtils", L"CreateDir：%s ret：%d", L"C:\\网络", 3);
  ASSERT_EQ(logger.lines.size(), 1u);
  std::wstring expected =
      L"\\[WARN\\]\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\]\\[pid:" +
      std::to_wstring(GetCurrentProcessId()) + L"\\]\\[tid:" + std::to_wstring(GetCurrentThreadId()) +
      L"\\]\\[\\.\\\\CommonUtils:708\\]CreateDir：C:\\\\网络 ret：3\r\n";
  EXPECT_TRUE(std::regex_match(logger.lines[0], std::wregex(expected))) << logger.lines[0];
}

TEST_F(LoggingTest, LevelTagsAndOptionalPieces) {
  RecordingLogger logger;
  logger.enabled = true;
  logger.SetOptions(Options(0, 0));
  struct {
    int level;
    std::wstring line;
  } cases[] = {
      {0, L"[INFO]m 1"}, {1, L"[WARN]m 1"}, {2, L"[ERRO]m 1"}, {7, L"m 1"}, {-1, L"m 1"},
  };
  for (const auto& c : cases) {
    logger.lines.clear();
    logger.Log(static_cast<LogLevel>(c.level), L"m %d", 1);
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0], c.line) << c.level;
  }
  // The source position comes from LogAt alone; an empty message leaves nothing behind.
  logger.lines.clear();
  logger.LogAt(LogLevel_Info, 12, L"a.cpp", L"");
  logger.Log(LogLevel_Info, L"%s", L"");
  EXPECT_EQ(logger.lines, (std::vector<std::wstring>{L"[INFO][a.cpp:12]", L"[INFO]"}));
  // Only the flags 2, 4 and 8 mean anything.
  logger.SetOptions(Options(0xF1, 0));
  logger.lines.clear();
  logger.Log(LogLevel_Info, L"x");
  ASSERT_EQ(logger.lines.size(), 1u);
  EXPECT_EQ(logger.lines[0].find(L"[pid:"), std::wstring::npos);
}

TEST_F(LoggingTest, LongMessagesAreWrittenWhole) {
  RecordingLogger logger;
  logger.enabled = true;
  logger.SetOptions(Options(0, 1));
  std::wstring body(5000, L'长');
  logger.LogAt(LogLevel_Error, 1, L"f", L"<%s>", body.c_str());
  ASSERT_EQ(logger.lines.size(), 1u);
  EXPECT_EQ(logger.lines[0], L"[ERRO][f:1]<" + body + L">\r\n");
}

TEST_F(LoggingTest, DisabledLoggersFormatNothing) {
  RecordingLogger recording;  // no options, not enabled
  BaseLogger* loggers[] = {&recording, &ConsoleLogger::Instance(), &FileLogger::Instance(),
                           &TraceLogger::Instance()};
  CapturedStream out(STDOUT_FILENO);
  CapturedStream err(STDERR_FILENO);
  for (BaseLogger* logger : loggers) {
    EXPECT_FALSE(logger->IsEnabled());
    logger->Log(LogLevel_Error, L"%s", kUnreadable);
    logger->LogAt(LogLevel_Error, 1, kUnreadable, L"%s", kUnreadable);
  }
  EXPECT_TRUE(recording.lines.empty());
  EXPECT_EQ(out.Text(), "");
  EXPECT_EQ(err.Text(), "");
}

TEST_F(LoggingTest, UnreadableArgumentWouldBeNoticedWhenFormatted) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  RecordingLogger logger;
  logger.enabled = true;
  logger.SetOptions(Options(0, 0));
  EXPECT_DEATH(logger.Log(LogLevel_Error, L"%s", kUnreadable), "");
}

TEST_F(LoggingTest, OutputsOfTheThreeLoggers) {
  TempPrefix prefix;
  const std::string logPath = prefix.Host("kv.log");
  LocaleScope locale("C.UTF-8");
  ConfigureLogging("console,file=" + logPath + ",trace");
  ASSERT_TRUE(ConsoleLogger::Instance().IsEnabled());
  ASSERT_TRUE(FileLogger::Instance().IsEnabled());
  ASSERT_TRUE(TraceLogger::Instance().IsEnabled());
  {
    CapturedStream out(STDOUT_FILENO);
    ConsoleLogger::Instance().LogAt(LogLevel_Info, 5, L"c.cpp", L"下载 %d", 1);
    std::string text = out.Text();
    EXPECT_NE(text.find("[c.cpp:5]\xE4\xB8\x8B\xE8\xBD\xBD 1\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("[INFO][", 0), 0u) << text;
  }
  {
    CapturedStream err(STDERR_FILENO);
    TraceLogger::Instance().Log(LogLevel_Warn, L"trace %S", "narrow");
    std::string text = err.Text();
    EXPECT_EQ(text.rfind("[WARN][", 0), 0u) << text;
    EXPECT_NE(text.find("]trace narrow\r\n"), std::string::npos) << text;
  }
  FileLogger::Instance().LogAt(LogLevel_Error, 9, L"f.cpp", L"网");
  FileLogger::Instance().Log(LogLevel_Info, L"second");
  std::string bytes = ReadHostFile(logPath);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::string tail1 = WideToUtf16Le(L"[f.cpp:9]网\r\n");
  std::string tail2 = WideToUtf16Le(L"]second\r\n");
  EXPECT_NE(bytes.find(tail1), std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.size() - tail2.size()), tail2);
  EXPECT_EQ(bytes.substr(2, 12), WideToUtf16Le(L"[ERRO]"));

  // Reopening appends without a second byte-order mark.
  ConfigureLogging("file=" + logPath);
  EXPECT_FALSE(ConsoleLogger::Instance().IsEnabled());
  EXPECT_FALSE(TraceLogger::Instance().IsEnabled());
  FileLogger::Instance().Log(LogLevel_Info, L"third");
  std::string after = ReadHostFile(logPath);
  EXPECT_EQ(after.substr(0, bytes.size()), bytes);
  EXPECT_EQ(after.find("\xFF\xFE", 2), std::string::npos);
}

TEST_F(LoggingTest, EnvironmentSwitch) {
  TempPrefix prefix;
  const std::string logPath = prefix.Host("env.log");
  struct {
    std::optional<std::string> value;  // nullopt: unset
    bool console, file, trace;
  } cases[] = {
      {std::nullopt, false, false, false},
      {"", false, false, false},
      {"trace", false, false, true},
      {"console,bogus", true, false, false},
      {"file=", false, false, false},
      {"file=/nonexistent-folder/x/kv.log", false, false, false},
      {"trace,file=" + logPath + ",console", true, true, true},
  };
  for (const auto& c : cases) {
    if (c.value) setenv("KV_LOG", c.value->c_str(), 1);
    else unsetenv("KV_LOG");
    ConfigureLoggingFromEnvironment();
    std::string shown = c.value.value_or("(unset)");
    EXPECT_EQ(ConsoleLogger::Instance().IsEnabled(), c.console) << shown;
    EXPECT_EQ(FileLogger::Instance().IsEnabled(), c.file) << shown;
    EXPECT_EQ(TraceLogger::Instance().IsEnabled(), c.trace) << shown;
  }
  unsetenv("KV_LOG");
}
