// The logger combinations the HTTP layer writes through: the debugger-output logger with
// Log, the file logger with LogAt, and the console logger with LogAt, each line carrying
// the calling source position.
#pragma once

#include "Runtime/Log.h"

#define HTTP_LOG_TRACE(level, ...) TraceLogger::Instance().Log(level, __VA_ARGS__)
#define HTTP_LOG_FILE(level, ...) \
  FileLogger::Instance().LogAt(level, __LINE__, __FILEW__, __VA_ARGS__)
#define HTTP_LOG_CONSOLE(level, ...) \
  ConsoleLogger::Instance().LogAt(level, __LINE__, __FILEW__, __VA_ARGS__)

// The same line to the console and to the file logger.
#define HTTP_LOG_CONSOLE_FILE(level, ...) \
  do {                                    \
    HTTP_LOG_CONSOLE(level, __VA_ARGS__); \
    HTTP_LOG_FILE(level, __VA_ARGS__);    \
  } while (0)

// The same line to the debugger-output logger and to the file logger, each at its level.
#define HTTP_LOG_TRACE_FILE(traceLevel, fileLevel, ...) \
  do {                                                  \
    HTTP_LOG_TRACE(traceLevel, __VA_ARGS__);            \
    HTTP_LOG_FILE(fileLevel, __VA_ARGS__);              \
  } while (0)
