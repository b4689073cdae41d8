#include "Http/HttpDownloadFile.h"

#include <numeric>

#include "Http/DownloadWriteFile.h"
#include "Http/HttpChannels.h"
#include "Http/HttpLog.h"
#include "Http/HttpMgr.h"

CHttpDownloadFile::CHttpDownloadFile() : CHttpBase(DownloadWorkshop(), DownloadManager()) {}

bool CHttpDownloadFile::StartDownload(const std::wstring& url, const std::wstring& localPath,
                                      uint64_t expectedSize, UINT_PTR userData,
                                      DownloadDoneCallback done,
                                      DownloadProgressCallback progress) {
  if (running_) return false;
  url_ = url;
  localPath_ = localPath;
  expectedSize_ = expectedSize;
  userData_ = userData;
  doneCallback_ = done;
  progressCallback_ = progress;
  return Submit(this, DownloadManager());
}

bool CHttpDownloadFile::Prepare() {
  if (!CHttpBase::Prepare()) return false;
  curl_easy_setopt(HttpTransfer()->Easy(), CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  return true;
}

bool CHttpDownloadFile::Start() {
  if (running_) return false;
  Detach();
  auto* transfer = new CCurlHttp(manager_);
  transfer_ = transfer;
  transfer->EnableProgress();
  auto* writer = new DownloadWriteFile();
  if (!writer->Open(localPath_)) {
    THttpOutcome failure{static_cast<ErrType>(writer->errorType), writer->errorCode};
    delete writer;
    if (doneCallback_) doneCallback_(userData_, failure.type, failure.code);
    return false;
  }
  transfer->SetOutput(writer);
  HTTP_LOG_FILE(LogLevel_Info, L"CHttpDownloadFile::Start() localPath:%s", localPath_.c_str());
  // The open writer tells the size of the local file as it is now.
  int64_t size = writer->Length();
  if (size < 0) {
    HTTP_LOG_FILE(LogLevel_Info, L"无需断点下载 %s ", localPath_.c_str());
    size = 0;
  }
  if (!PrepareLocalFile(static_cast<uint64_t>(size))) return false;
  return CHttpBase::Start();
}

// Decides between a fresh download, a resumed one, and none at all (the file is already
// complete: the requester is told so and false is returned).
bool CHttpDownloadFile::PrepareLocalFile(uint64_t size) {
  CCurlHttp* transfer = HttpTransfer();
  OBaseStream* writer = transfer->Output();
  const wchar_t* path = localPath_.c_str();
  if (expectedSize_ == 0) {
    transfer->resumeRequested = false;
    writer->Clear();
    rangeStart_ = 0;
  } else if (size > expectedSize_) {
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Error, L"%s文件大小(%lld)大于预期(%lld)大小  ", path,
                      static_cast<long long>(size), static_cast<long long>(expectedSize_));
    transfer->resumeRequested = false;
    writer->Clear();
    rangeStart_ = 0;
  } else if (size == expectedSize_) {
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Info, L"文件大小等于预计大小，下载已完成 %s pos:%lld", path,
                      static_cast<long long>(size));
    if (doneCallback_) doneCallback_(userData_, kErrOk, 0);
    return false;
  } else if (size > 0) {
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Info, L"开始断点下载 %s pos:%lld", path,
                      static_cast<long long>(size));
    transfer->resumeRequested = true;
    rangeStart_ = size;
  } else {
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Info, L"非断点 %s pos:%lld", path, static_cast<long long>(size));
    transfer->resumeRequested = false;
    rangeStart_ = 0;
  }
  return true;
}

bool CHttpDownloadFile::Stop() {
  downloaded_ = 0;
  periodBytes_ = 0;
  contentLength_ = 0;
  return CHttpBase::Stop();
}

void CHttpDownloadFile::OnHttpCode(int code) {
  if (code >= 300 && code <= 399) {
    HTTP_LOG_CONSOLE(LogLevel_Info, L"重定向中... url:%s", url_.c_str());
    HTTP_LOG_FILE(LogLevel_Info, L"重定向中...  url:%s", url_.c_str());
    return;
  }
  SetResultCode(result_, kErrHttp, code);
  CCurlHttp* transfer = HttpTransfer();
  if (code == 200 && transfer->resumeRequested) {
    HTTP_LOG_CONSOLE_FILE(LogLevel_Info, L"不支持断点续传 url:%s", url_.c_str());
    rangeStart_ = 0;
  }
  std::wstring text;
  if (!transfer->FindHeader(L"Content-Length", text)) return;
  int64_t length = _wtoi64(text.c_str());
  if (length == 0) return;
  contentLength_ = static_cast<uint64_t>(length);
  uint64_t total = rangeStart_ + contentLength_;
  if (expectedSize_ != 0 && total != expectedSize_) {
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Error, L"长度不一致 预期值:%lld 实际值:%lld",
                      static_cast<long long>(expectedSize_), static_cast<long long>(total));
    Stop();
    if (doneCallback_) doneCallback_(userData_, kErrUser, kCodeLengthMismatch);
    return;
  }
  if (progressCallback_) progressCallback_(userData_, total, rangeStart_, 0);
}

void CHttpDownloadFile::AddReceived(int64_t bytes) {
  periodBytes_ += static_cast<uint32_t>(bytes);
}

void CHttpDownloadFile::ReportProgress() {
  if (!running_ || !progressCallback_ || contentLength_ == 0) return;
  speedSamples_.push_back(periodBytes_);
  downloaded_ += periodBytes_;
  periodBytes_ = 0;
  if (speedSamples_.size() > kSpeedSamples) speedSamples_.pop_front();
  // Divided by the full window even while it fills, so the speed rises over the first
  // ten seconds.
  uint32_t sum = std::accumulate(speedSamples_.begin(), speedSamples_.end(), uint32_t{0});
  progressCallback_(userData_, rangeStart_ + contentLength_, rangeStart_ + downloaded_,
                    sum / kSpeedSamples);
}

void CHttpDownloadFile::Done(CURLcode result) {
  if (!running_) return;
  Stop();
  SetResultCode(result_, kErrCurl, result);
  THttpOutcome outcome = Classify();
  result_.Clear();
  if (ShouldRetry(outcome)) {
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Info,
                      L"CHttpDownloadFile::Done() 重试.... code:%d errtype:%d  url:%s ",
                      outcome.code, static_cast<int>(outcome.type), url_.c_str());
    ArmRetry(DownloadManager());
    return;
  }
  if (outcome.type != kErrOk)
    HTTP_LOG_TRACE_FILE(LogLevel_Error, LogLevel_Info, L"CHttpDownloadFile::Done()  code:%d errtype:%d  url:%s ",
                      outcome.code, static_cast<int>(outcome.type), url_.c_str());
  if (doneCallback_) doneCallback_(userData_, outcome.type, outcome.code);
}
