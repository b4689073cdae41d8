// Commands against the local publisher server: outcomes, retries and their delays,
// redirects, uploads, scheduling limits, duplicates and channel shutdown.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include "Http/CurlWorkshop.h"
#include "Http/HttpChannels.h"
#include "Http/HttpCommand.h"
#include "Http/HttpMgr.h"
#include "HttpTestRuntime.h"

namespace {

struct TCommandResult {
  std::string response;
  ErrType type = kErrOk;
  int code = 0;
  int calls = 0;
};

void RecordResult(UINT_PTR userData, const std::string& response, ErrType type, int code) {
  auto* result = reinterpret_cast<TCommandResult*>(userData);
  result->response = response;
  result->type = type;
  result->code = code;
  ++result->calls;
}

// A command that notes when each of its attempts starts; `order` collects the starts of
// several commands.
class CountingCommand : public CHttpCommand {
 public:
  explicit CountingCommand(std::vector<int>* order = nullptr, int index = 0)
      : order_(order), index_(index) {}
  bool Start() override {
    if (IsRunning()) return false;
    starts.push_back(GetTickCount());
    if (order_) order_->push_back(index_);
    return CHttpCommand::Start();
  }
  std::vector<DWORD> starts;
  TCommandResult result;

  void Request(const std::wstring& url) {
    SetUrl(url);
    SetCallback(RecordResult, reinterpret_cast<UINT_PTR>(&result));
  }

 private:
  std::vector<int>* order_;
  int index_;
};

// A manager that records the statuses of its transfers and the headers they held when a
// 200 arrived, then routes the events as usual.
class RecordingMgr : public CHttpMgr {
 public:
  void OnHttpCode(CCurlBase* transfer, int code) override {
    codes.push_back(code);
    if (code == 200) {
      auto* http = static_cast<CCurlHttp*>(transfer);
      CAutoLock guard(&http->StreamLock());
      headersAt200 = http->Headers();
    }
    CHttpMgr::OnHttpCode(transfer, code);
  }
  std::vector<int> codes;
  ProtoValue headersAt200;
};

std::wstring HeaderOf(const ProtoValue& headers, const wchar_t* name) {
  return headers.Has(name) ? headers.Get(name).string() : L"<absent>";
}

// Retries wait out more than 500 ms and are released by the next 500 ms tick; the upper
// bound leaves room for slow (sanitizer) builds.
void ExpectRetryDelays(const std::vector<DWORD>& starts) {
  for (size_t i = 1; i < starts.size(); ++i) {
    DWORD gap = starts[i] - starts[i - 1];
    EXPECT_GT(gap, 500u) << "attempt " << i + 1;
    EXPECT_LT(gap, 1600u) << "attempt " << i + 1;
  }
}

using HttpCommandTest = HttpTestRuntime;

}  // namespace

TEST_F(HttpCommandTest, OutcomesAndRetries) {
  ASSERT_TRUE(WriteHostFile(ServedPath("manifest.txt"), "[Install]\r\nUrl=x\r\n"));
  server_->SetRule("/gone", "status=404&body=missing+page");
  server_->SetRule("/cut", "drop_after=5&drops=-1");
  server_->SetRule("/cut-once", "drop_after=5&drops=1");
  ASSERT_TRUE(WriteHostFile(ServedPath("cut"), std::string(4000, 'c')));
  ASSERT_TRUE(WriteHostFile(ServedPath("cut-once"), std::string(4000, 'o')));
  const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(ClosedLocalPort()) + L"/x";
  struct Case {
    const char* name;
    std::wstring url;
    ErrType type;
    int code;
    size_t attempts;
    std::string response;
  } cases[] = {
      {"served", server_->WideUrl("/manifest.txt"), kErrOk, 0, 1, "[Install]\r\nUrl=x\r\n"},
      {"error status with a body", server_->WideUrl("/gone"), kErrHttp, 404, 1, ""},
      {"connection refused", refused, kErrCurl, CURLE_COULDNT_CONNECT, 3, ""},
      {"connection cut every time", server_->WideUrl("/cut"), kErrCurl, CURLE_PARTIAL_FILE, 3, ""},
      {"connection cut once", server_->WideUrl("/cut-once"), kErrOk, 0, 2, std::string(4000, 'o')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t retriesBefore = CountLog(L"CHttpCommand::Done() 重试.... code:");
    const size_t failuresBefore = CountLog(L"CHttpCommand::Done()  code:");
    CountingCommand command;
    command.Request(c.url);
    ASSERT_TRUE(Submit(&command, CommandManager()));
    ASSERT_TRUE(PumpMessagesUntil([&] { return command.result.calls > 0; }, kWaitMs));
    PumpMessagesFor(50);  // nothing further arrives
    EXPECT_EQ(command.result.calls, 1);
    EXPECT_EQ(command.result.type, c.type);
    EXPECT_EQ(command.result.code, c.code);
    EXPECT_EQ(command.result.response, c.response);
    EXPECT_EQ(command.starts.size(), c.attempts);
    EXPECT_EQ(command.Attempts(), 0);
    EXPECT_EQ(command.Manager(), nullptr);
    ExpectRetryDelays(command.starts);
    EXPECT_EQ(CountLog(L"CHttpCommand::Done() 重试.... code:") - retriesBefore, c.attempts - 1);
    EXPECT_EQ(CountLog(L"CHttpCommand::Done()  code:") - failuresBefore, c.type == kErrOk ? 0u : 1u);
  }
  EXPECT_EQ(CountLog(L"CCurlHttp::OnRecieveBody HTTP error  httpcode:404 missing page"), 1u);
  EXPECT_GE(CountLog(L"CCurlHttp::OnRecieveHeader HTTP error code:0 httpcode:404 "), 1u);
  // The error body never reached the command, and the status was not retried.
  EXPECT_EQ(server_->RequestsFor("/gone").size(), 1u);
}

TEST_F(HttpCommandTest, RedirectReportsEachStatusAndAccumulatesHeaders) {
  ASSERT_TRUE(WriteHostFile(ServedPath("body.txt"), "the body"));
  server_->SetRule("/moved", "redirect=/body.txt&header=X-First:one&header=X-Both:first");
  server_->SetRule("/body.txt", "header=X-Both:second");
  RecordingMgr manager;
  CountingCommand command;
  command.Request(server_->WideUrl("/moved"));
  command.Stop();  // unbinds it from the command channel's manager
  ASSERT_TRUE(Submit(&command, &manager));
  ASSERT_TRUE(PumpMessagesUntil([&] { return command.result.calls > 0; }, kWaitMs));
  EXPECT_EQ(command.result.type, kErrOk);
  EXPECT_EQ(command.result.response, "the body");
  EXPECT_EQ(manager.codes, (std::vector<int>{302, 200}));
  EXPECT_EQ(HeaderOf(manager.headersAt200, L"X-First"), L"one");
  EXPECT_EQ(HeaderOf(manager.headersAt200, L"X-Both"), L"second");
  EXPECT_EQ(HeaderOf(manager.headersAt200, L"x-both"), L"<absent>");
  EXPECT_EQ(HeaderOf(manager.headersAt200, L"Content-Length"), L"8");
}

TEST_F(HttpCommandTest, PostSendsTheBody) {
  const std::string body = std::string(70000, 'p') + "end";
  CountingCommand command;
  command.Request(server_->WideUrl("/echo"));
  command.SetMethod(CHttpBase::kPost);
  command.SetBody(body);
  ASSERT_TRUE(Submit(&command, CommandManager()));
  ASSERT_TRUE(PumpMessagesUntil([&] { return command.result.calls > 0; }, kWaitMs));
  EXPECT_EQ(command.result.type, kErrOk);
  EXPECT_EQ(command.result.response, body);
}

TEST_F(HttpCommandTest, StartsTenAtOnceAndTheRestInOrder) {
  ASSERT_TRUE(WriteHostFile(ServedPath("fast.txt"), "fast"));
  ASSERT_TRUE(WriteHostFile(ServedPath("slow.txt"), "slow"));
  server_->SetRule("/slow.txt", "delay=0.8");
  std::vector<int> order;
  std::vector<std::unique_ptr<CountingCommand>> commands;
  for (int i = 0; i < 12; ++i) {
    commands.push_back(std::make_unique<CountingCommand>(&order, i));
    commands.back()->Request(server_->WideUrl(i == 0 ? "/fast.txt" : "/slow.txt"));
    ASSERT_TRUE(Submit(commands.back().get(), CommandManager()));
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(CommandManager()->RunningCount(), 10);
  EXPECT_EQ(CommandManager()->Tasks().size(), 12u);

  // The fast one ends first; its slot goes to the eleventh, the twelfth still waits.
  ASSERT_TRUE(PumpMessagesUntil([&] { return order.size() >= 11; }, kWaitMs));
  EXPECT_EQ(commands[0]->result.calls, 1);
  EXPECT_EQ(order.back(), 10);
  EXPECT_EQ(CommandManager()->RunningCount(), 10);
  EXPECT_GE(CountLog(L"CHttpMgr::Schedule() 任务数超标 running:10 max:10 total:12"), 1u);

  ASSERT_TRUE(PumpMessagesUntil([&] {
    for (auto& c : commands)
      if (c->result.calls == 0) return false;
    return true;
  }, kWaitMs));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(CommandManager()->RunningCount(), 0);
  EXPECT_TRUE(CommandManager()->Tasks().empty());
}

TEST_F(HttpCommandTest, DuplicateSubmissionKeepsItsTaskId) {
  ASSERT_TRUE(WriteHostFile(ServedPath("slow.txt"), "slow"));
  server_->SetRule("/slow.txt", "delay=0.3");
  CountingCommand first;
  CountingCommand second;
  first.Request(server_->WideUrl("/slow.txt"));
  second.Request(server_->WideUrl("/slow.txt"));
  ASSERT_TRUE(Submit(&first, CommandManager()));
  ASSERT_TRUE(Submit(&second, CommandManager()));
  const uint64_t id = first.TaskId();
  EXPECT_NE(id & 0xFFFFFFFFu, 0u);
  EXPECT_EQ((second.TaskId() & 0xFFFFFFFFu), (id & 0xFFFFFFFFu) + 1);

  ASSERT_TRUE(Submit(&first, CommandManager()));
  EXPECT_EQ(first.TaskId(), id);
  EXPECT_EQ(CountLog(L"http请求重复添加 url:" + server_->WideUrl("/slow.txt")), 1u);
  EXPECT_EQ(CommandManager()->Tasks().size(), 2u);
  EXPECT_EQ(first.starts.size(), 1u);
  ASSERT_TRUE(PumpMessagesUntil([&] { return first.result.calls > 0 && second.result.calls > 0; }, kWaitMs));
  EXPECT_EQ(first.result.calls, 1);
}

TEST_F(HttpCommandTest, StopEndsTheAttemptWithoutCallback) {
  ASSERT_TRUE(WriteHostFile(ServedPath("slow.txt"), "slow"));
  server_->SetRule("/slow.txt", "delay=0.3");
  CountingCommand command;
  command.Request(server_->WideUrl("/slow.txt"));
  ASSERT_TRUE(Submit(&command, CommandManager()));
  EXPECT_FALSE(command.Start());  // already running
  command.Stop();
  EXPECT_FALSE(command.IsRunning());
  EXPECT_EQ(command.Manager(), nullptr);
  EXPECT_TRUE(CommandManager()->Tasks().empty());
  PumpMessagesFor(500);
  EXPECT_EQ(command.result.calls, 0);

  // A later submission starts afresh; the attempt count goes on.
  ASSERT_TRUE(Submit(&command, CommandManager()));
  EXPECT_EQ(command.Attempts(), 2);
  ASSERT_TRUE(PumpMessagesUntil([&] { return command.result.calls > 0; }, kWaitMs));
  EXPECT_EQ(command.result.type, kErrOk);
  EXPECT_EQ(command.result.code, 0);
}

TEST_F(HttpCommandTest, NoSubmissionAfterChannelShutdown) {
  CountingCommand before;  // bound to the channel that is about to go
  ShutdownCommandChannel();
  CountingCommand after;
  EXPECT_FALSE(Submit(&before, CommandManager()));
  EXPECT_FALSE(Submit(&after, CommandManager()));
  EXPECT_EQ(before.Manager(), nullptr);
  EXPECT_TRUE(before.starts.empty());
}

namespace {

// A command whose easy handle is already taken by another multi handle when the worker
// tries to add it, so that libcurl refuses it.
class RefusedAddCommand : public CountingCommand {
 public:
  ~RefusedAddCommand() override {
    Stop();
    for (CURLM* multi : others_) curl_multi_cleanup(multi);
  }
  bool Prepare() override {
    bool prepared = CountingCommand::Prepare();
    CURLM* other = curl_multi_init();
    curl_multi_add_handle(other, Transfer()->Easy());
    others_.push_back(other);
    return prepared;
  }

 private:
  std::vector<CURLM*> others_;
};

}  // namespace

TEST_F(HttpCommandTest, TransferRefusedByTheEngineFailsAndRetries) {
  RefusedAddCommand command;
  command.Request(server_->WideUrl("/never"));
  ASSERT_TRUE(Submit(&command, CommandManager()));
  ASSERT_TRUE(PumpMessagesUntil([&] { return command.result.calls > 0; }, 8000));
  EXPECT_EQ(command.result.type, kErrCurl);
  EXPECT_EQ(command.result.code, CURLE_FAILED_INIT);
  EXPECT_EQ(command.starts.size(), 3u);
  EXPECT_TRUE(server_->RequestsFor("/never").empty());
  PumpMessagesFor(50);  // the refused transfers are released before their multi handles go
}
