// The outcome of HTTP work: a kind and a code, and the result record a task fills during
// an attempt and classifies when it ends.
#pragma once

#include <cstdint>

#include "Runtime/ProtoValue.h"

enum ErrType : int32_t {
  kErrOk = 0,
  kErrSys = 1,
  kErrCrt = 2,  // reserved; never produced
  kErrUser = 3,
  kErrHttp = 4,
  kErrCurl = 5,
};

// The name under which a kind is kept in the result record ("ok", "sys", ...); null for
// a value outside the table.
const wchar_t* ErrTypeName(int type);

struct THttpOutcome {
  ErrType type;
  int code;
  bool operator==(const THttpOutcome&) const = default;
};

// Task codes.
constexpr int kCodeOpenFailed = 2020;     // the local file cannot be opened ("sys")
constexpr int kCodeNotOpen = 2001;        // a write while the file is not open ("user")
constexpr int kCodeLengthMismatch = 2007; // the announced length does not complete the file

// Sets record[name of type]["code"] to code.
void SetResultCode(ProtoValue& record, int type, int code);

// The outcome a result record stands for: a non-zero "sys" code, then "user", then an
// HTTP status outside 100..399, then a non-zero "curl" code, else ("ok", 0). An HTTP
// error status thus wins over the write error libcurl reports for the same attempt.
THttpOutcome ClassifyResult(const ProtoValue& record);
