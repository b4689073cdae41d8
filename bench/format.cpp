// Wide formatting and log-line building, side by side with glibc's swprintf on the same
// text (with glibc's own spelling of the format: %ls for a wide string).
#include <benchmark/benchmark.h>

#include <cwchar>
#include <string>

#include "Runtime/Log.h"
#include "Runtime/TextUtils.h"

namespace {

const wchar_t* const kPath = L"C:\\Kavro网络\\KavroCorvix\\KavroLauncher.exe";

void OurSnwprintf(benchmark::State& state) {
  wchar_t buffer[512];
  for (auto _ : state) {
    int n = _snwprintf(buffer, 512, L"%s -i \"%d\" -d [%I64u] %.2fMB", kPath, 7, 1099511627776ULL, 120.0);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(OurSnwprintf);

void GlibcSwprintf(benchmark::State& state) {
  wchar_t buffer[512];
  for (auto _ : state) {
    int n = std::swprintf(buffer, 512, L"%ls -i \"%d\" -d [%llu] %.2fMB", kPath, 7, 1099511627776ULL, 120.0);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(GlibcSwprintf);

void FormatStringMeasured(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FormatString(L"%s -i \"%d\" -d", kPath, 7));
}
BENCHMARK(FormatStringMeasured);

class NullLogger : public BaseLogger {
 public:
  void Write(const std::wstring& text) override { benchmark::DoNotOptimize(text.data()); }
  bool IsEnabled() override { return enabled; }
  bool enabled = false;
};

void DisabledLogCall(benchmark::State& state) {
  NullLogger logger;
  for (auto _ : state) logger.LogAt(LogLevel_Info, __LINE__, __FILEW__, L"url:%s code:%d", kPath, 7);
}
BENCHMARK(DisabledLogCall);

void EnabledLogLine(benchmark::State& state) {
  NullLogger logger;
  logger.enabled = true;
  auto options = std::make_unique<LogOptions>();
  options->prefixFlags = LogPrefix_Time | LogPrefix_ProcessId | LogPrefix_ThreadId;
  options->appendNewLine = 1;
  logger.SetOptions(std::move(options));
  for (auto _ : state) logger.LogAt(LogLevel_Info, __LINE__, __FILEW__, L"url:%s code:%d", kPath, 7);
}
BENCHMARK(EnabledLogLine);

}  // namespace

BENCHMARK_MAIN();
