#include "Http/HttpCommand.h"

#include "Http/HttpChannels.h"
#include "Http/HttpLog.h"
#include "Http/HttpMgr.h"
#include "Runtime/BufferStream.h"

CHttpCommand::CHttpCommand() : CHttpBase(CommandWorkshop(), CommandManager()) {}

bool CHttpCommand::Start() {
  HTTP_LOG_TRACE(LogLevel_Info, L"CHttpCommand::Start");
  if (running_) return false;
  Detach();
  auto* transfer = new CCurlHttp(manager_);
  transfer_ = transfer;
  transfer->SetOutput(new OBufferStream());
  if (method_ == kPost && !body_.empty())
    transfer->SetInput(new IBufferStream(static_cast<uint32_t>(body_.size()), body_.data()));
  return CHttpBase::Start();
}

void CHttpCommand::OnHttpCode(int code) { SetResultCode(result_, kErrHttp, code); }

// Copies what the output buffer holds and notes its error pair in the result record.
std::string CHttpCommand::TakeResponse() {
  CCurlHttp* transfer = HttpTransfer();
  if (!transfer || !transfer->Output()) return {};
  CAutoLock guard(&transfer->StreamLock());
  auto* output = static_cast<OBufferStream*>(transfer->Output());
  if (output->errorCode != 0 || output->errorType != 0)
    SetResultCode(result_, output->errorType, output->errorCode);
  if (!output->data) return {};
  return std::string(reinterpret_cast<const char*>(output->data), output->size);
}

void CHttpCommand::Done(CURLcode result) {
  if (!running_) return;
  SetResultCode(result_, kErrCurl, result);
  std::string response = TakeResponse();
  Stop();
  THttpOutcome outcome = Classify();
  result_.Clear();
  if (ShouldRetry(outcome)) {
    HTTP_LOG_TRACE_FILE(LogLevel_Info, LogLevel_Info, L"CHttpCommand::Done() 重试.... code:%d errtype:%d  url:%s ",
                      outcome.code, static_cast<int>(outcome.type), url_.c_str());
    ArmRetry(CommandManager());
    return;
  }
  if (outcome.type != kErrOk) {
    HTTP_LOG_TRACE_FILE(LogLevel_Info, LogLevel_Info, L"CHttpCommand::Done()  code:%d errtype:%d  url:%s ",
                      outcome.code, static_cast<int>(outcome.type), url_.c_str());
    // A failed attempt may have left part of a body behind; the requester gets none.
    response.clear();
  }
  attempts_ = 0;
  if (callback_) callback_(userData_, response, outcome.type, outcome.code);
}
