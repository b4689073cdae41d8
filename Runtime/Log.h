// Process-wide loggers: console (standard output), file (UTF-16LE) and trace (the
// debugger channel). They share one line layout:
//
//   [INFO][2026-12-11 13:05:09][pid:4242][tid:4243][.\Http\HttpMgr.cpp:88]message\r\n
//
// the level tag ("[INFO]", "[WARN]", "[ERRO]"; none for other levels), then the time,
// process and thread id as the attached options ask, then the source position (LogAt
// only), the message and, when asked, "\r\n". A logger without options writes nothing
// and formats nothing: a log call costs one lock and one virtual call.
//
// Call style (formats follow the Windows conventions: %s is a wide string, %S a narrow
// one, %d 32 bits, %lld or %I64d 64 bits; see crt_ext.h):
//
//   TraceLogger::Instance().Log(LogLevel_Info, L"CHttpCommand::Done()  code:%d", code);
//   FileLogger::Instance().LogAt(LogLevel_Error, __LINE__, __FILEW__, L"ret：%d", ret);
//   ConsoleLogger::Instance().LogAt(LogLevel_Error, __LINE__, __FILEW__, L"%s", url.c_str());
//
// "console and file" means the same LogAt call on ConsoleLogger, then on FileLogger.
// Nothing in the program attaches options; ConfigureLoggingFromEnvironment(), called
// once at start, does so from KV_LOG for diagnosis.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "Runtime/MainThread.h"
#include "Runtime/Singleton.h"

enum LogLevel : int32_t {
  LogLevel_Info = 0,
  LogLevel_Warn = 1,
  LogLevel_Error = 2,
};

// Bits of LogOptions::prefixFlags.
enum LogPrefix : BYTE {
  LogPrefix_Time = 2,
  LogPrefix_ProcessId = 4,
  LogPrefix_ThreadId = 8,
};

struct LogOptions {
  BYTE prefixFlags = 0;
  BYTE appendNewLine = 0;  // non-zero: every line ends with "\r\n"
};

class BaseLogger {
 public:
  BaseLogger() = default;
  virtual ~BaseLogger() = default;
  BaseLogger(const BaseLogger&) = delete;
  BaseLogger& operator=(const BaseLogger&) = delete;

  virtual void Log(LogLevel level, const wchar_t* format, ...);
  virtual void LogAt(LogLevel level, int32_t line, const wchar_t* sourceFile,
                     const wchar_t* format, ...);
  // Outputs one finished line.
  virtual void Write(const std::wstring& text) = 0;
  virtual bool IsEnabled() = 0;

  // Attaches options, which the logger owns from now on; null detaches them.
  void SetOptions(std::unique_ptr<LogOptions> options);

 protected:
  bool HasOptions() const { return options_ != nullptr; }
  CLock& Lock() { return lock_; }

 private:
  void BuildAndWrite(LogLevel level, const int32_t* line, const wchar_t* sourceFile,
                     const wchar_t* format, va_list args);

  std::unique_ptr<LogOptions> options_;
  CLock lock_;
};

class ConsoleLogger : public BaseLogger, public CSingleton<ConsoleLogger> {
 public:
  void Write(const std::wstring& text) override;
  bool IsEnabled() override;
  // Makes standard output the console; false when the process has none.
  bool OpenConsole();
  void CloseConsole();

 private:
  friend class CSingleton<ConsoleLogger>;
  ConsoleLogger() = default;

  bool consoleReady_ = false;
};

class FileLogger : public BaseLogger, public CSingleton<FileLogger> {
 public:
  ~FileLogger() override;
  void Write(const std::wstring& text) override;
  bool IsEnabled() override;
  // Opens (appends to) the log file; path in the ANSI code page. A new file starts with
  // the UTF-16LE byte-order mark. Closes any file opened before.
  bool OpenFile(const char* path);
  void CloseFile();

 private:
  friend class CSingleton<FileLogger>;
  FileLogger() = default;

  FILE* file_ = nullptr;
};

class TraceLogger : public BaseLogger, public CSingleton<TraceLogger> {
 public:
  void Write(const std::wstring& text) override;
  bool IsEnabled() override;

 private:
  friend class CSingleton<TraceLogger>;
  TraceLogger() = default;
};

// Sets the three loggers up from a comma-separated list: "console", "file=PATH", "trace".
// Each listed logger gets the time, process and thread prefixes and line ends; a logger
// not listed is switched off. Unknown items are ignored.
void ConfigureLogging(const std::string& settings);
// ConfigureLogging with the KV_LOG environment variable; unset, every logger stays off.
void ConfigureLoggingFromEnvironment();
