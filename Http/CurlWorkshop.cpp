#include "Http/CurlWorkshop.h"

#include <windows.h>

#include <algorithm>

#include "Http/HttpLog.h"

namespace {

// Longest wait for socket activity in one worker pass.
constexpr int kWaitMs = 5;
// Shortest interval between two progress reports of one transfer.
constexpr DWORD kProgressIntervalMs = 100;

bool Contains(const std::list<CRefPtr<CCurlBase>>& list, const CRefPtr<CCurlBase>& transfer) {
  return std::find(list.begin(), list.end(), transfer) != list.end();
}

}  // namespace

CCurlWorkshop::~CCurlWorkshop() {
  // The worker calls Run() of this object: it must end before the object goes away.
  StopThread(INFINITE);
  Cleanup();
}

void CCurlWorkshop::Init() {
  CAutoLock guard(&lock_);
  if (multi_) return;
  multi_ = curl_multi_init();
  HTTP_LOG_FILE(LogLevel_Info, L"CCurlWorkshop::Init() %x",
              static_cast<unsigned int>(reinterpret_cast<uintptr_t>(multi_)));
}

bool CCurlWorkshop::AddTransfer(const CRefPtr<CCurlBase>& transfer) {
  CAutoLock guard(&lock_);
  if (!multi_) return false;
  pendingAdd_.push_back(transfer);
  auto pending = std::find(pendingRemove_.begin(), pendingRemove_.end(), transfer);
  if (pending != pendingRemove_.end()) pendingRemove_.erase(pending);
  // Ends the worker's wait at once, so that the transfer starts without delay.
  curl_multi_wakeup(multi_);
  return true;
}

bool CCurlWorkshop::RemoveTransfer(const CRefPtr<CCurlBase>& transfer) {
  CAutoLock guard(&lock_);
  if (!multi_) return false;
  pendingRemove_.push_back(transfer);
  curl_multi_wakeup(multi_);
  return true;
}

void CCurlWorkshop::Cleanup() {
  CAutoLock guard(&lock_);
  if (multi_) {
    for (auto& transfer : running_) {
      curl_multi_remove_handle(multi_, transfer->Easy());
      curl_easy_cleanup(transfer->Easy());
      transfer->SetEasy(nullptr);
    }
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
  }
  pendingRemove_.clear();
  pendingAdd_.clear();
  running_.clear();
}

void CCurlWorkshop::Run() {
  while (!stopRequested.load()) {
    int active = Perform();
    int finished = ReadMessages();
    if (active || finished) continue;
    if (stopRequested.load()) break;
    Sleep(1);
  }
}

int CCurlWorkshop::Perform() {
  if (stopRequested.load()) return 0;
  ProcessPending();
  WaitForActivity();
  int anyRunning = 0;
  CURLMcode code;
  do {
    int stillRunning = 0;
    code = curl_multi_perform(multi_, &stillRunning);
    if (stillRunning > 0) anyRunning = 1;
  } while (code == CURLM_CALL_MULTI_PERFORM);
  return anyRunning;
}

// Waits at most kWaitMs for activity on libcurl's sockets, for libcurl's own timeout, or
// for a wake-up from the main thread. Unlike a select() on the descriptor sets it also
// waits when libcurl has no socket yet, so the loop never spins.
void CCurlWorkshop::WaitForActivity() { curl_multi_poll(multi_, nullptr, 0, kWaitMs, nullptr); }

int CCurlWorkshop::ReadMessages() {
  int count = 0;
  int left = 0;
  while (!stopRequested.load()) {
    CURLMsg* message = curl_multi_info_read(multi_, &left);
    if (!message) break;
    if (message->msg != CURLMSG_DONE) continue;
    // The message lives inside the easy handle, which the detach below releases.
    CURL* easy = message->easy_handle;
    CURLcode result = message->data.result;
    CAutoLock guard(&lock_);
    ++count;
    auto found = std::find_if(running_.begin(), running_.end(),
                              [easy](const CRefPtr<CCurlBase>& t) { return t->Easy() == easy; });
    if (found == running_.end()) continue;
    CRefPtr<CCurlBase> transfer = *found;
    PostTransferDone(transfer.Get(), result);
    DetachTransfer(transfer);
  }
  return count;
}

void CCurlWorkshop::ProcessPending() {
  CAutoLock guard(&lock_);
  for (auto* list : {&pendingAdd_, &running_})
    for (auto& transfer : *list)
      if (!transfer->IsAttached()) pendingRemove_.push_back(transfer);

  for (size_t n = pendingRemove_.size(); n > 0; --n) {
    CRefPtr<CCurlBase> transfer = pendingRemove_.front();
    pendingRemove_.pop_front();
    DetachTransfer(transfer);
    PostTransferRemoved(transfer.Get());
  }

  for (size_t n = pendingAdd_.size(); n > 0; --n) {
    CRefPtr<CCurlBase> transfer = pendingAdd_.front();
    pendingAdd_.pop_front();
    AddPending(transfer);
  }
}

// Hands one queued transfer to the multi handle. A transfer that libcurl refuses is
// reported as finished with an error, so that its task fails (and retries) instead of
// waiting for an end that never comes.
void CCurlWorkshop::AddPending(const CRefPtr<CCurlBase>& transfer) {
  if (Contains(running_, transfer)) return;  // added again before its removal ran
  CURLMcode code = transfer->Easy() ? curl_multi_add_handle(multi_, transfer->Easy())
                                    : CURLM_BAD_EASY_HANDLE;
  if (code == CURLM_OK) {
    PostTransferAdded(transfer.Get());
    running_.push_back(transfer);
    return;
  }
  HTTP_LOG_CONSOLE_FILE(LogLevel_Error, L"CCurlWorkshop::ProcessPending curl_multi_add_handle error:%d",
                      static_cast<int>(code));
  PostTransferDone(transfer.Get(), CURLE_FAILED_INIT);
}

bool CCurlWorkshop::DetachTransfer(const CRefPtr<CCurlBase>& transfer) {
  CURL* easy = transfer->Easy();
  if (!easy) return false;
  auto inRunning = std::find_if(running_.begin(), running_.end(),
                                [easy](const CRefPtr<CCurlBase>& t) { return t->Easy() == easy; });
  if (inRunning != running_.end()) {
    curl_multi_remove_handle(multi_, easy);
    curl_easy_cleanup(easy);
    transfer->SetEasy(nullptr);
    running_.erase(inRunning);
  } else {
    auto inPending = std::find(pendingAdd_.begin(), pendingAdd_.end(), transfer);
    if (inPending != pendingAdd_.end()) pendingAdd_.erase(inPending);
  }
  return true;
}

size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<CCurlBase*>(user);
  if (!transfer || !transfer->IsAttached()) return 0;
  CAutoLock guard(&transfer->StreamLock());
  if (!transfer->IsAttached()) return 0;
  return transfer->OnRecieveHeader(data, size * count);
}

size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<CCurlBase*>(user);
  if (!transfer || !transfer->IsAttached()) return 0;
  CRefPtr<CCurlBase> hold(transfer);
  size_t written;
  {
    CAutoLock guard(&transfer->StreamLock());
    if (!transfer->IsAttached()) return 0;
    written = transfer->OnRecieveBody(data, size * count);
  }
  transfer->pendingRecvBytes += written;
  DWORD now = GetTickCount();
  if (transfer->ProgressEnabled() && now - transfer->lastProgressTick > kProgressIntervalMs) {
    transfer->lastProgressTick = now;
    PostRecvProgress(transfer, static_cast<unsigned int>(transfer->pendingRecvBytes));
    transfer->pendingRecvBytes = 0;
  }
  return written;
}

size_t ReadCallback(char* buffer, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<CCurlBase*>(user);
  if (!transfer || !transfer->IsAttached()) return 0;
  CRefPtr<CCurlBase> hold(transfer);
  size_t supplied;
  {
    CAutoLock guard(&transfer->StreamLock());
    if (!transfer->IsAttached()) return 0;
    supplied = transfer->OnSendBody(buffer, size * count);
  }
  DWORD now = GetTickCount();
  if (transfer->ProgressEnabled() && now - transfer->lastProgressTick > kProgressIntervalMs) {
    transfer->lastProgressTick = now;
    PostSendProgress(transfer, static_cast<unsigned int>(supplied));
  }
  return supplied;
}
