// A transfer: one libcurl easy handle, its body streams and its response state, shared
// by the task that owns it, the workshop's lists and queued main-thread events.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>

#include "Http/CurlListener.h"
#include "Runtime/MainThread.h"

class CCurlBase : public CRefThreadSafeBase<CCurlBase> {
 public:
  explicit CCurlBase(CurlListener* listener) : listener_(listener) {}
  ~CCurlBase() override {
    if (easy_) curl_easy_cleanup(easy_);
  }

  // One header line, one piece of the response body, and room for request-body bytes;
  // each returns the number of bytes consumed or supplied. The callbacks call them with
  // the stream lock held.
  virtual size_t OnRecieveHeader(const char* data, size_t length) = 0;
  virtual size_t OnRecieveBody(const char* data, size_t length) = 0;
  virtual size_t OnSendBody(char* buffer, size_t capacity) = 0;
  // Closes the body streams; the stream objects stay allocated.
  virtual void CloseStreams() = 0;

  // The owning task lets go of the transfer (main thread). Under the stream lock the
  // transfer stops being attached and its streams are closed, so a callback either ran
  // completely before this, or finds the transfer detached and touches nothing: no byte
  // reaches the task's file or buffer afterwards, and no stream closes under a write.
  void Detach() {
    CAutoLock guard(&streamLock_);
    attached_ = false;
    CloseStreams();
  }

  // Guards the streams and the response state that the worker's callbacks fill in and
  // the main thread reads (status, headers).
  CLock& StreamLock() { return streamLock_; }

  CURL* Easy() const { return easy_; }
  void SetEasy(CURL* easy) { easy_ = easy; }
  CurlListener* Listener() const { return listener_; }
  bool IsAttached() const { return attached_.load(std::memory_order_acquire); }
  bool ProgressEnabled() const { return progressEnabled_; }
  void EnableProgress() { progressEnabled_ = true; }

  // Receive progress, kept by the worker thread only.
  uint64_t pendingRecvBytes = 0;
  uint32_t lastProgressTick = 0;

 private:
  CURL* easy_ = nullptr;
  CurlListener* listener_;
  std::atomic<bool> attached_{true};
  bool progressEnabled_ = false;
  CLock streamLock_;
};
