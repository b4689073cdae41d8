// Receiver of the events of transfers, called on the main thread.
#pragma once

#include <curl/curl.h>

class CCurlBase;

class CurlListener {
 public:
  CurlListener();
  virtual ~CurlListener();
  CurlListener(const CurlListener&) = delete;
  CurlListener& operator=(const CurlListener&) = delete;

  virtual void OnTransferDone(CCurlBase* transfer, CURLcode result) = 0;
  virtual void OnRecvProgress(CCurlBase* transfer, unsigned int bytes) = 0;
  virtual void OnSendProgress(CCurlBase* transfer, unsigned int bytes) = 0;
  virtual void OnHttpCode(CCurlBase* transfer, int code) = 0;
  virtual void OnTransferRemoved(CCurlBase* transfer, int zero) = 0;
  virtual void OnTransferAdded(CCurlBase* transfer, int zero) = 0;

  // Whether a listener object still exists. Events can sit in the main-thread queue
  // after a channel was shut down and its listener deleted; delivery asks first.
  // Listeners are created, deleted and asked on the main thread only.
  static bool IsAlive(const CurlListener* listener);
};
