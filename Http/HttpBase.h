// An HTTP task: the requester-side object for one request. It holds the URL, the request
// settings, the retry policy and the outcome, and creates a fresh transfer for every
// attempt. Tasks live on the main thread; the worker only ever sees their transfers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Http/CurlHttp.h"
#include "Http/HttpResult.h"

class CCurlWorkshop;
class CHttpMgr;

class CHttpBase {
 public:
  static constexpr int kGet = 1;
  static constexpr int kPost = 2;

  CHttpBase(CCurlWorkshop* workshop, CHttpMgr* manager);
  virtual ~CHttpBase();
  CHttpBase(const CHttpBase&) = delete;
  CHttpBase& operator=(const CHttpBase&) = delete;

  // Configures the easy handle of the current attempt's transfer.
  virtual bool Prepare();
  // Begins an attempt; false when one is already running.
  virtual bool Start();
  // Ends the attempt and unbinds the task from its manager.
  virtual bool Stop();
  // The transfer finished with the given libcurl result.
  virtual void Done(CURLcode result) = 0;
  // A response status arrived.
  virtual void OnHttpCode(int code) = 0;
  // Periodic progress report (downloads).
  virtual void ReportProgress() {}
  // Bytes received since the last report (downloads).
  virtual void AddReceived(int64_t bytes) { (void)bytes; }

  THttpOutcome Classify() const { return ClassifyResult(result_); }
  // Lets go of the current transfer: it stops being attached and its streams close.
  void Detach();

  // Channel shutdown: every task still bound to the manager or the workshop forgets
  // them, listed or not, so that no task keeps a pointer to a deleted channel.
  static void UnbindChannel(const CHttpMgr* manager, const CCurlWorkshop* workshop);

  // Request setup, while the task is not running.
  void SetUrl(const std::wstring& url) { url_ = url; }
  void SetMethod(int method) { method_ = method; }
  void SetMaxRetries(int retries) { maxRetries_ = retries; }
  void SetConnectTimeout(int seconds) { connectTimeout_ = seconds; }

  const std::wstring& Url() const { return url_; }
  uint64_t TaskId() const { return taskId_; }
  bool IsRunning() const { return running_; }
  bool IsScheduled() const { return scheduled_; }
  bool IsRetryPending() const { return retryPending_; }
  int Attempts() const { return attempts_; }
  uint64_t RangeStart() const { return rangeStart_; }
  CHttpMgr* Manager() const { return manager_; }
  const CRefPtr<CCurlBase>& Transfer() const { return transfer_; }

 protected:
  CCurlHttp* HttpTransfer() const { return static_cast<CCurlHttp*>(transfer_.Get()); }
  // Whether an attempt that ended with this outcome is tried again.
  bool ShouldRetry(const THttpOutcome& outcome) const;
  // Waits out the retry delay in the given manager's list; the manager's timer
  // releases the task.
  void ArmRetry(CHttpMgr* manager);

  CRefPtr<CCurlBase> transfer_;
  CHttpMgr* manager_;
  CCurlWorkshop* workshop_;
  bool running_ = false;
  std::wstring url_;
  uint64_t taskId_ = 0;
  int method_ = kGet;
  uint64_t rangeStart_ = 0;
  int attempts_ = 0;
  bool scheduled_ = false;
  ProtoValue result_;
  int maxRetries_ = 2;
  int connectTimeout_ = 5;
  bool retryPending_ = false;
  DWORD retryTick_ = 0;

 private:
  friend class CHttpMgr;
  friend bool Submit(CHttpBase* task, CHttpMgr* manager);
};

// Submits a task to a manager (see CHttpMgr); defined with the manager.
bool Submit(CHttpBase* task, CHttpMgr* manager);
