#include "Http/HttpResult.h"

namespace {

const wchar_t* const kNames[] = {L"ok", L"sys", L"crt", L"user", L"http", L"curl"};

// The code stored under name, when the record holds one.
bool CodeOf(const ProtoValue& record, ErrType type, int64_t& code) {
  if (!record.Has(ErrTypeName(type))) return false;
  const ProtoValue& entry = record.Get(ErrTypeName(type));
  if (!entry.Has(L"code")) return false;
  code = entry.Get(L"code").integer();
  return true;
}

}  // namespace

const wchar_t* ErrTypeName(int type) {
  return type >= kErrOk && type <= kErrCurl ? kNames[type] : nullptr;
}

void SetResultCode(ProtoValue& record, int type, int code) {
  const wchar_t* name = ErrTypeName(type);
  if (name) record[name][L"code"] = ProtoValue(code);
}

THttpOutcome ClassifyResult(const ProtoValue& record) {
  int64_t code = 0;
  if (CodeOf(record, kErrSys, code) && code != 0) return {kErrSys, static_cast<int>(code)};
  if (CodeOf(record, kErrUser, code) && code != 0) return {kErrUser, static_cast<int>(code)};
  if (CodeOf(record, kErrHttp, code) && (code < 100 || code > 399))
    return {kErrHttp, static_cast<int>(code)};
  if (CodeOf(record, kErrCurl, code) && code != 0) return {kErrCurl, static_cast<int>(code)};
  return {kErrOk, 0};
}
