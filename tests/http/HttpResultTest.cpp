// Classification of a task's result record.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "Http/HttpResult.h"

TEST(HttpResult, ClassifyTakesTheFirstMatchingKind) {
  using Entries = std::initializer_list<std::pair<int, int>>;
  struct Case {
    const char* name;
    Entries entries;  // (kind, code) stored in this order
    THttpOutcome expected;
  } cases[] = {
      {"empty record", {}, {kErrOk, 0}},
      {"success", {{kErrHttp, 200}, {kErrCurl, 0}}, {kErrOk, 0}},
      {"redirect status only", {{kErrHttp, 302}, {kErrCurl, 0}}, {kErrOk, 0}},
      {"error status wins over the write error", {{kErrHttp, 404}, {kErrCurl, 23}}, {kErrHttp, 404}},
      {"status below 100", {{kErrHttp, 99}}, {kErrHttp, 99}},
      {"libcurl failure", {{kErrCurl, 7}}, {kErrCurl, 7}},
      {"user code wins over status and libcurl", {{kErrCurl, 23}, {kErrHttp, 500}, {kErrUser, 2001}},
       {kErrUser, 2001}},
      {"system code wins over everything", {{kErrUser, 2007}, {kErrSys, 112}}, {kErrSys, 112}},
      {"zero codes do not count", {{kErrSys, 0}, {kErrUser, 0}, {kErrCurl, 0}}, {kErrOk, 0}},
      {"later code of a kind replaces the earlier", {{kErrHttp, 302}, {kErrHttp, 500}}, {kErrHttp, 500}},
  };
  for (const auto& c : cases) {
    ProtoValue record;
    for (auto [kind, code] : c.entries) SetResultCode(record, kind, code);
    EXPECT_EQ(ClassifyResult(record), c.expected) << c.name;
  }
}
