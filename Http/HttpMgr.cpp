#include "Http/HttpMgr.h"

#include <algorithm>

#include "Http/HttpLog.h"

namespace {

// Sequence numbers of task ids, shared by every manager; the first task gets 1.
uint32_t g_taskSequence = 0;

}  // namespace

// Tasks outlive their manager: none may keep a pointer to it.
CHttpMgr::~CHttpMgr() {
  tasks_.clear();
  CHttpBase::UnbindChannel(this, nullptr);
}

bool Submit(CHttpBase* task, CHttpMgr* manager) {
  if (task->manager_ && task->manager_ != manager) return task->manager_->RemoveTask(task);
  if (!manager) return false;
  task->manager_ = manager;
  manager->AddTask(task);
  return true;
}

void CHttpMgr::OnTransferDone(CCurlBase* transfer, CURLcode result) {
  if (CHttpBase* task = FindTask(transfer)) task->Done(result);
}

void CHttpMgr::OnRecvProgress(CCurlBase* transfer, unsigned int bytes) {
  if (CHttpBase* task = FindTask(transfer))
    task->AddReceived(static_cast<int64_t>(static_cast<int>(bytes)));
}

void CHttpMgr::OnSendProgress(CCurlBase*, unsigned int) {}

void CHttpMgr::OnHttpCode(CCurlBase* transfer, int code) {
  if (CHttpBase* task = FindTask(transfer)) task->OnHttpCode(code);
}

void CHttpMgr::OnTransferRemoved(CCurlBase* transfer, int) { FindTask(transfer); }

void CHttpMgr::OnTransferAdded(CCurlBase* transfer, int) { FindTask(transfer); }

bool CHttpMgr::IsListed(const CHttpBase* task) const {
  return std::find(tasks_.begin(), tasks_.end(), task) != tasks_.end();
}

int CHttpMgr::CountScheduled() const {
  return static_cast<int>(
      std::count_if(tasks_.begin(), tasks_.end(), [](CHttpBase* t) { return t->scheduled_; }));
}

uint64_t CHttpMgr::AddTask(CHttpBase* task) {
  if (IsListed(task)) {
    HTTP_LOG_CONSOLE_FILE(LogLevel_Info, L"http请求重复添加 url:%s", task->url_.c_str());
    return task->taskId_;
  }
  ++g_taskSequence;
  task->taskId_ = (static_cast<uint64_t>(GetTickCount()) << 32) | g_taskSequence;
  tasks_.push_back(task);
  if (!task->retryPending_) Schedule();
  return task->taskId_;
}

bool CHttpMgr::RemoveTask(CHttpBase* task) {
  bool wasScheduled = task->scheduled_;
  tasks_.erase(std::remove(tasks_.begin(), tasks_.end(), task), tasks_.end());
  task->scheduled_ = false;
  if (wasScheduled) {
    --runningCount_;
    Schedule();
  }
  return true;
}

void CHttpMgr::Schedule() {
  int total = static_cast<int>(tasks_.size());
  if (runningCount_ > maxRunning_ || runningCount_ > total) {
    HTTP_LOG_CONSOLE_FILE(LogLevel_Info,
                        L"CHttpMgr::Schedule() 正在运行的任务数计算出错，重新计算中 running:%d max:%d total:%d",
                        runningCount_, maxRunning_, total);
    runningCount_ = CountScheduled();
  }
  HTTP_LOG_CONSOLE_FILE(LogLevel_Info, L"CHttpMgr::Schedule() 调度任务 running:%d max:%d total:%d",
                      runningCount_, maxRunning_, total);
  if (runningCount_ >= maxRunning_) {
    HTTP_LOG_CONSOLE_FILE(LogLevel_Info, L"CHttpMgr::Schedule() 任务数超标 running:%d max:%d total:%d",
                        runningCount_, maxRunning_, total);
    return;
  }
  // Start() may call back into the requester, which may stop or submit tasks and so
  // change the list (and schedule again): walk a copy, and skip what left the list.
  std::vector<CHttpBase*> snapshot = tasks_;
  for (CHttpBase* task : snapshot) {
    if (runningCount_ >= maxRunning_) break;
    if (!IsListed(task) || task->scheduled_ || task->running_ || task->retryPending_) continue;
    if (task->Start() && IsListed(task) && !task->scheduled_) {
      task->scheduled_ = true;
      ++runningCount_;
    }
  }
}

CHttpBase* CHttpMgr::FindTask(const CCurlBase* transfer) const {
  for (CHttpBase* task : tasks_)
    if (task->transfer_.Get() == transfer) return task;
  return nullptr;
}

void CHttpMgr::DetachAll() {
  for (CHttpBase* task : tasks_) {
    task->manager_ = nullptr;
    task->workshop_ = nullptr;
  }
  tasks_.clear();
  runningCount_ = 0;
}

void CHttpMgr::RetryTick() {
  DWORD now = GetTickCount();
  bool released = false;
  for (CHttpBase* task : tasks_) {
    if (task->retryPending_ && now - task->retryTick_ > kRetryDelayMs) {
      task->retryPending_ = false;
      released = true;
    }
  }
  if (released) Schedule();
}

void CHttpMgr::ProgressTick() {
  std::vector<CHttpBase*> snapshot = tasks_;
  for (CHttpBase* task : snapshot)
    if (IsListed(task) && task->running_) task->ReportProgress();
}
