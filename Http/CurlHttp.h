// An HTTP transfer: parses the response status and headers, writes the body to an
// output stream and reads a request body from an optional input stream.
#pragma once

#include "Http/CurlBase.h"
#include "Runtime/ProtoValue.h"

class OBaseStream;
class IBaseStream;

class CCurlHttp : public CCurlBase {
 public:
  // No status known yet.
  static constexpr int kNoStatus = 700;

  explicit CCurlHttp(CurlListener* listener);
  ~CCurlHttp() override;

  size_t OnRecieveHeader(const char* data, size_t length) override;
  size_t OnRecieveBody(const char* data, size_t length) override;
  size_t OnSendBody(char* buffer, size_t capacity) override;
  void CloseStreams() override;

  // Takes ownership of the streams.
  void SetOutput(OBaseStream* output);
  void SetInput(IBaseStream* input);
  OBaseStream* Output() const { return output_; }
  IBaseStream* Input() const { return input_; }

  // Resets the response state before an attempt (main thread, before the transfer is
  // handed to the workshop).
  void ResetResponse(uint64_t uploadTotal);

  // Response state; the main thread reads it under StreamLock() while the transfer runs.
  int HttpCode() const { return httpCode_; }
  const ProtoValue& Headers() const { return headers_; }
  // The value of one response header, read under the stream lock; false when absent.
  bool FindHeader(const std::wstring& name, std::wstring& value);

  bool resumeRequested = false;

 private:
  bool IsErrorStatus() const { return httpCode_ < 100 || httpCode_ > 399; }
  void UpdateStatus();
  void StoreHeader(const char* data, size_t length);
  void PostHttpCode();

  ProtoValue headers_;
  int httpCode_ = kNoStatus;
  uint64_t uploadTotal_ = 0;
  uint64_t uploadSent_ = 0;
  OBaseStream* output_ = nullptr;
  IBaseStream* input_ = nullptr;
};
