// The program's runtime start and stop bring the HTTP layer up and down: both channels
// and the 500 ms scheduler timer that releases retries.
#include <gtest/gtest.h>

#include "Http/HttpChannels.h"
#include "Http/HttpCommand.h"
#include "Http/HttpMgr.h"
#include "InstallerApp.h"
#include "support/MessagePump.h"
#include "support/PublisherServer.h"
#include "support/TempPrefix.h"

namespace {

struct TOutcome {
  int calls = 0;
  ErrType type = kErrOk;
  int code = 0;
};

void Record(UINT_PTR user, const std::string&, ErrType type, int code) {
  auto* outcome = reinterpret_cast<TOutcome*>(user);
  ++outcome->calls;
  outcome->type = type;
  outcome->code = code;
}

}  // namespace

TEST(HttpRuntime, StartAndStopBringBothChannelsUpAndDown) {
  TempPrefix prefix;
  InstallerApp app;
  ASSERT_TRUE(StartRuntime(app, nullptr));
  EXPECT_NE(CommandWorkshop(), nullptr);
  EXPECT_NE(CommandManager(), nullptr);
  EXPECT_NE(DownloadWorkshop(), nullptr);
  EXPECT_NE(DownloadManager(), nullptr);

  // Retries are released by the scheduler timer: a refused request runs three attempts.
  CHttpCommand command;
  TOutcome outcome;
  command.SetUrl(L"http://127.0.0.1:" + std::to_wstring(ClosedLocalPort()) + L"/");
  command.SetCallback(Record, reinterpret_cast<UINT_PTR>(&outcome));
  ASSERT_TRUE(Submit(&command, CommandManager()));
  ASSERT_TRUE(PumpMessagesUntil([&] { return outcome.calls > 0; }, 10000));
  EXPECT_EQ(outcome.type, kErrCurl);
  EXPECT_EQ(outcome.code, CURLE_COULDNT_CONNECT);

  EXPECT_TRUE(StopRuntime(app));
  EXPECT_EQ(CommandManager(), nullptr);
  EXPECT_EQ(DownloadManager(), nullptr);
  EXPECT_FALSE(Submit(&command, CommandManager()));
}
