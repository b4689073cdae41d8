#include "Http/HttpCommand.h"

#include "Http/HttpChannels.h"
#include "Http/HttpLog.h"
#include "Http/HttpMgr.h"
#include "Runtime/BaseStream.h"

CHttpCommand::CHttpCommand() : CHttpBase(CommandWorkshop(), CommandManager()) {}

bool CHttpCommand::Start() {
  KV_LOG_TRACE(kLogInfo, L"CHttpCommand::Start");
  if (running_) return false;
  Detach();
  auto* transfer = new CCurlHttp(manager_);
  transfer_ = transfer;
  transfer->SetOutput(new OBufferStream());
  if (method_ == kPost && !body_.empty())
    transfer->SetInput(new IBufferStream(static_cast<unsigned int>(body_.size()), body_.data()));
  return CHttpBase::Start();
}

void CHttpCommand::OnHttpCode(int code) { SetResultCode(result_, kErrHttp, code); }

// Copies what the output buffer holds and notes its error pair in the result record.
std::string CHttpCommand::TakeResponse() {
  CCurlHttp* transfer = HttpTransfer();
  if (!transfer || !transfer->Output()) return {};
  CAutoLock guard(&transfer->StreamLock());
  auto* output = static_cast<OBufferStream*>(transfer->Output());
  if (output->ErrorCode() != 0 || output->ErrorType() != 0)
    SetResultCode(result_, output->ErrorType(), output->ErrorCode());
  if (!output->Data()) return {};
  return std::string(reinterpret_cast<const char*>(output->Data()), output->Size());
}

void CHttpCommand::Done(CURLcode result) {
  if (!running_) return;
  SetResultCode(result_, kErrCurl, result);
  std::string response = TakeResponse();
  Stop();
  THttpOutcome outcome = Classify();
  result_.Clear();
  if (ShouldRetry(outcome)) {
    KV_LOG_TRACE_FILE(kLogInfo, kLogInfo, L"CHttpCommand::Done() 重试.... code:%d errtype:%d  url:%s ",
                      outcome.code, static_cast<int>(outcome.type), url_.c_str());
    ArmRetry(CommandManager());
    return;
  }
  if (outcome.type != kErrOk) {
    KV_LOG_TRACE_FILE(kLogInfo, kLogInfo, L"CHttpCommand::Done()  code:%d errtype:%d  url:%s ",
                      outcome.code, static_cast<int>(outcome.type), url_.c_str());
    // A failed attempt may have left part of a body behind; the requester gets none.
    response.clear();
  }
  attempts_ = 0;
  if (callback_) callback_(userData_, response, outcome.type, outcome.code);
}
