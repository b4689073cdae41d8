// Log line building shared by the loggers, their outputs and the KV_LOG switch.
#include "Runtime/Log.h"

#include <cstdlib>

#include "Runtime/TextUtils.h"

namespace {

// The prefix pieces are each cut to what their fixed buffers hold.
constexpr size_t kShortPieceLimit = 63;
constexpr size_t kTimePieceLimit = 32;
constexpr size_t kSourcePieceLimit = 2047;

void AppendPiece(std::wstring& line, size_t limit, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring piece = FormatStringV(format, args);
  va_end(args);
  line.append(piece, 0, limit);
}

const wchar_t* LevelWord(LogLevel level) {
  switch (level) {
    case LogLevel_Info: return L"INFO";
    case LogLevel_Warn: return L"WARN";
    case LogLevel_Error: return L"ERRO";
    default: return nullptr;
  }
}

}  // namespace

void BaseLogger::SetOptions(std::unique_ptr<LogOptions> options) {
  CAutoLock guard(&lock_);
  options_ = std::move(options);
}

void BaseLogger::Log(LogLevel level, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  BuildAndWrite(level, nullptr, nullptr, format, args);
  va_end(args);
}

void BaseLogger::LogAt(LogLevel level, int32_t line, const wchar_t* sourceFile,
                       const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  BuildAndWrite(level, &line, sourceFile, format, args);
  va_end(args);
}

// Builds the line only when the logger is enabled, all under the logger's lock so that
// lines of one logger never interleave.
void BaseLogger::BuildAndWrite(LogLevel level, const int32_t* sourceLine,
                               const wchar_t* sourceFile, const wchar_t* format,
                               va_list args) {
  CAutoLock guard(&lock_);
  if (!IsEnabled()) return;
  const LogOptions options = options_ ? *options_ : LogOptions{};
  std::wstring line;
  if (const wchar_t* word = LevelWord(level)) AppendPiece(line, kShortPieceLimit, L"[%4s]", word);
  if (options.prefixFlags & LogPrefix_Time) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    AppendPiece(line, kTimePieceLimit, L"[%04u-%02u-%02u %02u:%02u:%02u]", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond);
  }
  if (options.prefixFlags & LogPrefix_ProcessId)
    AppendPiece(line, kShortPieceLimit, L"[pid:%d]", static_cast<int>(GetCurrentProcessId()));
  if (options.prefixFlags & LogPrefix_ThreadId)
    AppendPiece(line, kShortPieceLimit, L"[tid:%d]", static_cast<int>(GetCurrentThreadId()));
  if (sourceLine) AppendPiece(line, kSourcePieceLimit, L"[%s:%d]", sourceFile, *sourceLine);
  line += FormatStringV(format, args);
  if (options.appendNewLine) line += L"\r\n";
  Write(line);
}

void ConsoleLogger::Write(const std::wstring& text) {
  CAutoLock guard(&Lock());
  if (!IsEnabled()) return;
  DWORD written = 0;
  WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                &written, nullptr);
}

bool ConsoleLogger::IsEnabled() { return HasOptions() && consoleReady_; }

bool ConsoleLogger::OpenConsole() {
  CAutoLock guard(&Lock());
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  consoleReady_ = output != nullptr && output != INVALID_HANDLE_VALUE;
  return consoleReady_;
}

void ConsoleLogger::CloseConsole() {
  CAutoLock guard(&Lock());
  consoleReady_ = false;
}

FileLogger::~FileLogger() { CloseFile(); }

void FileLogger::Write(const std::wstring& text) {
  CAutoLock guard(&Lock());
  if (!IsEnabled()) return;
  // One buffered write, then a flush, so that a crash loses no line.
  std::string bytes = WideToUtf16Le(text);
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  std::fflush(file_);
}

bool FileLogger::IsEnabled() { return HasOptions() && file_ != nullptr; }

bool FileLogger::OpenFile(const char* path) {
  CAutoLock guard(&Lock());
  CloseFile();
  file_ = path ? std::fopen(path, "ab") : nullptr;
  if (!file_) return false;
  std::fseek(file_, 0, SEEK_END);
  if (std::ftell(file_) == 0) {
    static const char kByteOrderMark[] = {'\xFF', '\xFE'};
    std::fwrite(kByteOrderMark, 1, sizeof(kByteOrderMark), file_);
    std::fflush(file_);
  }
  return true;
}

void FileLogger::CloseFile() {
  CAutoLock guard(&Lock());
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void TraceLogger::Write(const std::wstring& text) {
  CAutoLock guard(&Lock());
  if (IsEnabled()) OutputDebugStringW(text.c_str());
}

bool TraceLogger::IsEnabled() { return HasOptions(); }

namespace {

std::unique_ptr<LogOptions> DiagnosisOptions() {
  auto options = std::make_unique<LogOptions>();
  options->prefixFlags = LogPrefix_Time | LogPrefix_ProcessId | LogPrefix_ThreadId;
  options->appendNewLine = 1;
  return options;
}

}  // namespace

void ConfigureLogging(const std::string& settings) {
  bool console = false, trace = false;
  std::string filePath;
  for (size_t start = 0; start <= settings.size();) {
    size_t end = settings.find(',', start);
    if (end == std::string::npos) end = settings.size();
    std::string item = settings.substr(start, end - start);
    if (item == "console") console = true;
    else if (item == "trace") trace = true;
    else if (item.rfind("file=", 0) == 0 && item.size() > 5) filePath = item.substr(5);
    start = end + 1;
  }

  ConsoleLogger& consoleLogger = ConsoleLogger::Instance();
  consoleLogger.SetOptions(console ? DiagnosisOptions() : nullptr);
  if (console) consoleLogger.OpenConsole();
  else consoleLogger.CloseConsole();

  FileLogger& fileLogger = FileLogger::Instance();
  bool fileOpen = !filePath.empty() && fileLogger.OpenFile(filePath.c_str());
  if (!fileOpen) fileLogger.CloseFile();
  fileLogger.SetOptions(fileOpen ? DiagnosisOptions() : nullptr);

  TraceLogger::Instance().SetOptions(trace ? DiagnosisOptions() : nullptr);
}

void ConfigureLoggingFromEnvironment() {
  const char* settings = std::getenv("KV_LOG");
  ConfigureLogging(settings ? settings : "");
}
