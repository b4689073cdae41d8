// The transfer engine: a worker thread that alone drives one libcurl multi handle and
// brings every event of its transfers back to the main thread.
#pragma once

#include <curl/curl.h>

#include <list>

#include "Http/CurlBase.h"
#include "Runtime/MainThread.h"
#include "Runtime/SimpleThread.h"

class CCurlWorkshop : public CSimpleThread {
 public:
  CCurlWorkshop() = default;
  ~CCurlWorkshop() override;

  // Main thread. Init creates the multi handle (idempotent). AddTransfer queues a fully
  // configured transfer for the worker to add (and cancels a pending removal of it);
  // RemoveTransfer queues its removal. Both return false before Init or after Cleanup.
  void Init();
  bool AddTransfer(const CRefPtr<CCurlBase>& transfer);
  bool RemoveTransfer(const CRefPtr<CCurlBase>& transfer);
  // After StopThread: releases every easy handle still in the multi handle, then the
  // multi handle, and empties the lists.
  void Cleanup();

 protected:
  void Run() override;

 private:
  using TransferList = std::list<CRefPtr<CCurlBase>>;

  int Perform();
  int ReadMessages();
  void ProcessPending();
  void AddPending(const CRefPtr<CCurlBase>& transfer);
  bool DetachTransfer(const CRefPtr<CCurlBase>& transfer);
  void WaitForActivity();

  CURLM* multi_ = nullptr;
  TransferList pendingAdd_;
  TransferList running_;
  TransferList pendingRemove_;
  CLock lock_;
};

// The libcurl callbacks installed on every easy handle; the user data is the transfer.
size_t HeaderCallback(char* data, size_t size, size_t count, void* transfer);
size_t WriteCallback(char* data, size_t size, size_t count, void* transfer);
size_t ReadCallback(char* buffer, size_t size, size_t count, void* transfer);

// Delivers one event of a transfer to its listener on the main thread; nothing happens
// when the transfer has no listener or the listener is gone.
template <class V, void (CurlListener::*Slot)(CCurlBase*, V)>
void DeliverCurlEvent(const CRefPtr<CCurlBase>& transfer, V value) {
  if (!transfer) return;
  CurlListener* listener = transfer->Listener();
  if (listener && CurlListener::IsAlive(listener)) (listener->*Slot)(transfer.Get(), value);
}

// Posts one event of a transfer to the main thread, with a reference to the transfer.
template <class V, void (CurlListener::*Slot)(CCurlBase*, V)>
void PostCurlEvent(CCurlBase* transfer, V value) {
  using Task = MainThreadTask2<CRefPtr<CCurlBase>, const CRefPtr<CCurlBase>&, V, V>;
  CRefPtr<MainThreadTaskBase> task(
      new Task(&DeliverCurlEvent<V, Slot>, CRefPtr<CCurlBase>(transfer), value));
  PostToMainThread(InvokeTask, task);
}

inline void PostHttpCode(CCurlBase* t, int code) {
  PostCurlEvent<int, &CurlListener::OnHttpCode>(t, code);
}
inline void PostTransferDone(CCurlBase* t, CURLcode result) {
  PostCurlEvent<CURLcode, &CurlListener::OnTransferDone>(t, result);
}
inline void PostRecvProgress(CCurlBase* t, unsigned int bytes) {
  PostCurlEvent<unsigned int, &CurlListener::OnRecvProgress>(t, bytes);
}
inline void PostSendProgress(CCurlBase* t, unsigned int bytes) {
  PostCurlEvent<unsigned int, &CurlListener::OnSendProgress>(t, bytes);
}
inline void PostTransferAdded(CCurlBase* t) {
  PostCurlEvent<int, &CurlListener::OnTransferAdded>(t, 0);
}
inline void PostTransferRemoved(CCurlBase* t) {
  PostCurlEvent<int, &CurlListener::OnTransferRemoved>(t, 0);
}
