// The manager of one HTTP channel: keeps the submitted tasks in order, starts them while
// fewer than ten run, de-duplicates submissions, routes the events of the channel's
// transfers to their tasks and releases tasks whose retry delay has passed. Main thread
// only; it does not own the tasks.
#pragma once

#include <cstdint>
#include <vector>

#include "Http/CurlListener.h"
#include "Http/HttpBase.h"

class CHttpMgr : public CurlListener {
 public:
  static constexpr int kMaxRunning = 10;
  // A task waits out more than this after a failed attempt.
  static constexpr DWORD kRetryDelayMs = 500;

  CHttpMgr() = default;
  ~CHttpMgr() override;

  void OnTransferDone(CCurlBase* transfer, CURLcode result) override;
  void OnRecvProgress(CCurlBase* transfer, unsigned int bytes) override;
  void OnSendProgress(CCurlBase* transfer, unsigned int bytes) override;
  void OnHttpCode(CCurlBase* transfer, int code) override;
  void OnTransferRemoved(CCurlBase* transfer, int zero) override;
  void OnTransferAdded(CCurlBase* transfer, int zero) override;

  // Lists the task and returns its TaskId (low half a sequence number shared by all
  // managers, high half the tick count); a listed task keeps its first TaskId.
  virtual uint64_t AddTask(CHttpBase* task);
  virtual bool RemoveTask(CHttpBase* task);

  // Starts listed tasks in submission order while fewer than kMaxRunning run.
  void Schedule();
  // The listed task whose current transfer is `transfer`, or null.
  CHttpBase* FindTask(const CCurlBase* transfer) const;
  // Unbinds every listed task and forgets them (channel shutdown).
  void DetachAll();
  // Releases the tasks whose retry delay has passed and schedules them.
  void RetryTick();
  // Progress report of every running task.
  void ProgressTick();

  const std::vector<CHttpBase*>& Tasks() const { return tasks_; }
  int RunningCount() const { return runningCount_; }

 private:
  bool IsListed(const CHttpBase* task) const;
  int CountScheduled() const;

  std::vector<CHttpBase*> tasks_;
  int maxRunning_ = kMaxRunning;
  int runningCount_ = 0;
};

// Binds the task to `manager` and lists it there; false when there is no manager. A task
// bound to another manager is removed from that one instead (and not listed here).
bool Submit(CHttpBase* task, CHttpMgr* manager);
