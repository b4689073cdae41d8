#include "HttpTestRuntime.h"

#include <filesystem>

#include "Runtime/Log.h"

void HttpTestRuntime::SetUp() {
  prefix_ = std::make_unique<TempPrefix>();
  served_ = prefix_->Root() + "/served";
  std::filesystem::create_directories(served_);
  std::filesystem::create_directories(prefix_->Host("drive_c/work"));
  logPath_ = prefix_->Host("http.log");
  ConfigureLogging("file=" + logPath_);
  server_ = std::make_unique<PublisherServer>(served_);
  StartTestRuntime();
}

void HttpTestRuntime::TearDown() {
  StopTestRuntime();
  ConfigureLogging("");
  server_.reset();
  prefix_.reset();
}

std::string HttpTestRuntime::LocalHostPath(const std::string& name) const {
  return prefix_->Host("drive_c/work/" + name);
}

std::wstring HttpTestRuntime::LocalPath(const std::string& name) const {
  return L"C:\\work\\" + std::wstring(name.begin(), name.end());
}

std::vector<std::wstring> HttpTestRuntime::LogLines() const {
  // The log file is UTF-16LE; its lines end with "\r\n".
  std::string bytes = ReadHostFile(logPath_);
  std::vector<std::wstring> lines(1);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    wchar_t unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0xFEFF) continue;
    if (unit == L'\n') {
      lines.emplace_back();
    } else if (unit != L'\r') {
      lines.back() += unit;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

size_t HttpTestRuntime::CountLog(const std::wstring& text) const {
  size_t count = 0;
  for (const auto& line : LogLines())
    if (line.find(text) != std::wstring::npos) ++count;
  return count;
}
