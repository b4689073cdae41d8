// An HTTP task that downloads one URL into one local file: resumes a partial file with a
// byte range, starts over when the server ignores the range, checks the announced
// length against the expected size, and reports progress and speed once a second.
// Downloads run on the download channel.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "Http/HttpBase.h"

// ("ok", 0) means the file is complete.
typedef void (*DownloadDoneCallback)(UINT_PTR userData, ErrType type, int code);
// total and done count bytes of the whole file, speed is bytes per second.
typedef void (*DownloadProgressCallback)(UINT_PTR userData, uint64_t total, uint64_t done,
                                         uint32_t speed);

class CHttpDownloadFile : public CHttpBase {
 public:
  // Speed is averaged over this many reports, one a second.
  static constexpr size_t kSpeedSamples = 10;
  // libcurl's receive buffer for downloads: larger pieces mean fewer system calls and
  // callbacks per megabyte than its 16 KiB default.
  static constexpr long kReceiveBufferBytes = 100 * 1024;

  // Binds the download to the download channel as it exists now.
  CHttpDownloadFile();

  // Stores the request and the handlers and submits the task to the download channel;
  // false while the task runs or when there is no download channel. An expectedSize of
  // 0 means unknown: no resume and no length check.
  bool StartDownload(const std::wstring& url, const std::wstring& localPath,
                     uint64_t expectedSize, UINT_PTR userData, DownloadDoneCallback done,
                     DownloadProgressCallback progress);

  bool Prepare() override;
  bool Start() override;
  bool Stop() override;
  void Done(CURLcode result) override;
  void OnHttpCode(int code) override;
  void ReportProgress() override;
  void AddReceived(int64_t bytes) override;

  const std::wstring& LocalPath() const { return localPath_; }
  uint64_t ContentLength() const { return contentLength_; }

 private:
  bool PrepareLocalFile(uint64_t size);

  std::wstring localPath_;
  uint64_t expectedSize_ = 0;
  DownloadDoneCallback doneCallback_ = nullptr;
  DownloadProgressCallback progressCallback_ = nullptr;
  UINT_PTR userData_ = 0;
  uint64_t downloaded_ = 0;
  uint32_t periodBytes_ = 0;
  uint64_t contentLength_ = 0;
  std::deque<uint32_t> speedSamples_;
};
