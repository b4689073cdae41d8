#include "Http/CurlHttp.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "Http/CurlWorkshop.h"
#include "Http/HttpLog.h"
#include "Runtime/BufferStream.h"
#include "Runtime/TextUtils.h"

CCurlHttp::CCurlHttp(CurlListener* listener) : CCurlBase(listener), headers_(ProtoValue::kObject) {}

CCurlHttp::~CCurlHttp() {
  if (output_) {
    output_->Close();
    delete output_;
  }
  if (input_) {
    input_->Free();
    delete input_;
  }
  headers_.Clear();
}

void CCurlHttp::SetOutput(OBaseStream* output) {
  if (output_ && output_ != output) {
    output_->Close();
    delete output_;
  }
  output_ = output;
}

void CCurlHttp::SetInput(IBaseStream* input) {
  if (input_ && input_ != input) {
    input_->Free();
    delete input_;
  }
  input_ = input;
}

void CCurlHttp::ResetResponse(uint64_t uploadTotal) {
  CAutoLock guard(&StreamLock());
  uploadTotal_ = uploadTotal;
  uploadSent_ = 0;
  httpCode_ = kNoStatus;
  headers_ = ProtoValue(ProtoValue::kObject);
}

bool CCurlHttp::FindHeader(const std::wstring& name, std::wstring& value) {
  CAutoLock guard(&StreamLock());
  if (!headers_.Has(name)) return false;
  value = headers_.Get(name).string();
  return true;
}

// Takes the status of the response whose headers are arriving (each response of a
// redirect chain has its own).
void CCurlHttp::UpdateStatus() {
  long code = kNoStatus;
  CURLcode query = curl_easy_getinfo(Easy(), CURLINFO_RESPONSE_CODE, &code);
  httpCode_ = static_cast<int>(code);
  if (query != CURLE_OK || code < 100 || code > 399)
    HTTP_LOG_CONSOLE_FILE(LogLevel_Error, L"CCurlHttp::OnRecieveHeader HTTP error code:%d httpcode:%d ",
                        static_cast<int>(query), httpCode_);
  if (httpCode_ == 200 && resumeRequested) {
    // The server ignored the requested range and sends the whole body.
    HTTP_LOG_CONSOLE_FILE(LogLevel_Info, L"httpcode==200 不支持断点续传，清空文件");
    if (output_) output_->Clear();
  }
}

void CCurlHttp::PostHttpCode() { ::PostHttpCode(this, httpCode_); }

size_t CCurlHttp::OnRecieveHeader(const char* data, size_t length) {
  if (httpCode_ == kNoStatus || (httpCode_ >= 300 && httpCode_ <= 399)) UpdateStatus();
  if (IsErrorStatus()) {
    PostHttpCode();
    return length;
  }
  std::string_view line(data, length);
  if (line == "\r\n" || line == "\n") {
    PostHttpCode();
    return length;
  }
  StoreHeader(data, length);
  return length;
}

void CCurlHttp::StoreHeader(const char* data, size_t length) {
  const char* colon = static_cast<const char*>(memchr(data, ':', length));
  if (!colon || colon == data) return;
  std::wstring name = AnsiToWide(std::string(data, colon));
  std::wstring value = AnsiToWide(std::string(colon + 1, data + length));
  TrimWhitespace(name);
  TrimWhitespace(value);
  headers_[name] = ProtoValue(value);
}

size_t CCurlHttp::OnRecieveBody(const char* data, size_t length) {
  if (IsErrorStatus()) {
    std::wstring start = AnsiToWide(std::string(data, std::min<size_t>(length, 1000)));
    HTTP_LOG_FILE(LogLevel_Error, L"CCurlHttp::OnRecieveBody HTTP error  httpcode:%d %s", httpCode_,
                start.c_str());
    return 0;
  }
  if (!output_) return 0;
  int32_t written = output_->Write(data, static_cast<uint32_t>(length));
  if (written < 0) {
    HTTP_LOG_CONSOLE_FILE(LogLevel_Error, L"CCurlHttp::OnRecieveBody  Write file error %d",
                        output_->errorCode);
    return 0;
  }
  return static_cast<size_t>(written);
}

size_t CCurlHttp::OnSendBody(char* buffer, size_t capacity) {
  if (!input_ || uploadTotal_ == 0 || uploadSent_ >= uploadTotal_) return 0;
  size_t want = static_cast<size_t>(std::min<uint64_t>(capacity, uploadTotal_ - uploadSent_));
  int32_t read = input_->Read(buffer, static_cast<uint32_t>(want));
  if (read >= 0) {
    uploadSent_ += static_cast<uint64_t>(read);
    return static_cast<size_t>(read);
  }
  HTTP_LOG_CONSOLE_FILE(LogLevel_Error, L"CCurlHttp::OnSendBody  Read file error %d", errno);
  return 0;
}

void CCurlHttp::CloseStreams() {
  if (output_) output_->Close();
  if (input_) input_->Free();
}
