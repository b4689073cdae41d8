#include "Http/HttpBase.h"

#include <set>

#include "Http/CurlWorkshop.h"
#include "Http/HttpMgr.h"
#include "Runtime/BufferStream.h"
#include "Runtime/TextUtils.h"

namespace {

// Every task object that exists; touched on the main thread only.
std::set<CHttpBase*>& LiveTasks() {
  static std::set<CHttpBase*> tasks;
  return tasks;
}

}  // namespace

CHttpBase::CHttpBase(CCurlWorkshop* workshop, CHttpMgr* manager)
    : manager_(manager), workshop_(workshop) {
  LiveTasks().insert(this);
}

CHttpBase::~CHttpBase() {
  // Stop() is not virtual any more here: the base part of the stop is all that is left.
  CHttpBase::Stop();
  LiveTasks().erase(this);
}

void CHttpBase::UnbindChannel(const CHttpMgr* manager, const CCurlWorkshop* workshop) {
  for (CHttpBase* task : LiveTasks()) {
    if (manager && task->manager_ == manager) task->manager_ = nullptr;
    if (workshop && task->workshop_ == workshop) task->workshop_ = nullptr;
  }
}

bool CHttpBase::Prepare() {
  CCurlHttp* transfer = HttpTransfer();
  if (!transfer) return false;
  CURL* easy = transfer->Easy();
  if (!easy) {
    easy = curl_easy_init();
    transfer->SetEasy(easy);
  } else {
    curl_easy_reset(easy);
  }
  uint64_t uploadSize = 0;
  if (method_ == kPost && transfer->Input()) uploadSize = static_cast<uint64_t>(transfer->Input()->Size());
  transfer->ResetResponse(method_ == kPost ? uploadSize : 0);

  std::string url = WideToAnsi(url_);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, HeaderCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, static_cast<CCurlBase*>(transfer));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, static_cast<CCurlBase*>(transfer));
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, ReadCallback);
  curl_easy_setopt(easy, CURLOPT_READDATA, static_cast<CCurlBase*>(transfer));
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout_));
  if (method_ == kPost) {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(uploadSize));
  } else if (rangeStart_ != 0) {
    std::string range = WideToAnsi(FormatString(L"%I64u-", rangeStart_));
    curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
  }
  return true;
}

bool CHttpBase::Start() {
  if (running_) return false;
  ++attempts_;
  running_ = true;
  Prepare();
  if (transfer_ && workshop_) workshop_->AddTransfer(transfer_);
  return true;
}

bool CHttpBase::Stop() {
  if (running_) {
    running_ = false;
    if (transfer_ && workshop_) workshop_->RemoveTransfer(transfer_);
  }
  Detach();
  if (manager_ && manager_->RemoveTask(this)) manager_ = nullptr;
  return true;
}

void CHttpBase::Detach() {
  if (!transfer_) return;
  transfer_->Detach();
  transfer_.Reset();
}

bool CHttpBase::ShouldRetry(const THttpOutcome& outcome) const {
  return attempts_ <= maxRetries_ && outcome.type == kErrCurl && outcome.code != 0;
}

void CHttpBase::ArmRetry(CHttpMgr* manager) {
  retryPending_ = true;
  retryTick_ = GetTickCount();
  Submit(this, manager);
}
