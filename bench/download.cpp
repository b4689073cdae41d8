// Downloads a large file from the local publisher server through the download channel,
// side by side with the curl command-line tool fetching the same file from the same
// server, and reports wall time, CPU time, throughput and their ratios; then the CPU the
// two idle channel threads use over ten seconds. Reports only; never fails.
//
//   kv_bench_download [MiB [rounds]]      (default 1024 MiB, 3 rounds)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Http/HttpChannels.h"
#include "Http/HttpDownloadFile.h"
#include "Runtime/MainThread.h"
#include "support/MessagePump.h"
#include "support/PublisherServer.h"
#include "support/TempPrefix.h"

namespace {

struct TRun {
  double wall = 0;  // seconds
  double cpu = 0;   // user + system seconds
  bool ok = false;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }
double CpuOf(const rusage& r) { return Seconds(r.ru_utime) + Seconds(r.ru_stime); }

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

TRun RunCurlTool(const std::string& url, const std::string& out) {
  TRun run;
  double start = Now();
  pid_t pid = fork();
  if (pid == 0) {
    execlp("curl", "curl", "-s", "-o", out.c_str(), url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    run.wall = Now() - start;
    run.cpu = CpuOf(usage);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  return run;
}

struct TDone {
  bool finished = false;
  ErrType type = kErrOk;
};

void OnDone(UINT_PTR user, ErrType type, int) {
  auto* done = reinterpret_cast<TDone*>(user);
  done->finished = true;
  done->type = type;
}

TRun RunDownloadChannel(const std::wstring& url, const std::wstring& localPath, uint64_t size) {
  TRun run;
  TDone done;
  CHttpDownloadFile task;
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  double start = Now();
  if (!task.StartDownload(url, localPath, size, reinterpret_cast<UINT_PTR>(&done), OnDone, nullptr))
    return run;
  PumpMessagesUntil([&done] { return done.finished; }, INFINITE);
  run.wall = Now() - start;
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  run.cpu = CpuOf(after) - CpuOf(before);
  run.ok = done.type == kErrOk;
  task.Stop();
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  const uint64_t size = mib << 20;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

  // Files live in memory when the machine offers a RAM folder, so that both contenders
  // measure the transfer and not the disk's write-back.
  if (!std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 1);
  TempPrefix prefix;
  const std::string served = prefix.Host("served");
  const std::string work = prefix.Host("drive_c/work");
  std::filesystem::create_directories(served);
  std::filesystem::create_directories(work);
  std::printf("download benchmark: %llu MiB file, %d rounds each, loopback server, files in %s\n",
              static_cast<unsigned long long>(mib), rounds, prefix.Root().c_str());
  if (!WriteRandomFile(served + "/big.bin", size, 1)) {
    std::printf("cannot write the source file\n");
    return 0;
  }
  PublisherServer server(served);
  const TFileDigest source = DigestFile(served + "/big.bin");

  InitMainThreadDispatch();
  UINT_PTR timer = SetTimer(nullptr, kHttpTimerId, kHttpTimerPeriodMs, HttpTimerProc);
  InitCommandChannel();
  InitDownloadChannel();

  std::vector<TRun> curlRuns, ourRuns;
  bool identical = true;
  for (int round = 0; round < rounds; ++round) {
    std::filesystem::remove(work + "/curl.bin");
    curlRuns.push_back(RunCurlTool(server.Url("/big.bin"), work + "/curl.bin"));
    identical = identical && DigestFile(work + "/curl.bin") == source;
    std::filesystem::remove(work + "/curl.bin");

    std::filesystem::remove(work + "/ours.bin");
    ourRuns.push_back(RunDownloadChannel(server.WideUrl("/big.bin"), L"C:\\work\\ours.bin", size));
    identical = identical && DigestFile(work + "/ours.bin") == source;
    std::filesystem::remove(work + "/ours.bin");
  }

  std::printf("\n%-18s %10s %10s %12s %s\n", "run", "wall s", "cpu s", "MiB/s", "ok");
  std::vector<double> curlWall, curlCpu, ourWall, ourCpu;
  for (int i = 0; i < rounds; ++i) {
    for (auto [name, run] : {std::pair{"curl tool", curlRuns[i]}, std::pair{"download channel", ourRuns[i]}})
      std::printf("%-18s %10.3f %10.3f %12.1f %s\n", name, run.wall, run.cpu,
                  static_cast<double>(mib) / run.wall, run.ok ? "yes" : "NO");
    curlWall.push_back(curlRuns[i].wall);
    curlCpu.push_back(curlRuns[i].cpu);
    ourWall.push_back(ourRuns[i].wall);
    ourCpu.push_back(ourRuns[i].cpu);
  }
  double cw = Median(curlWall), cc = Median(curlCpu), ow = Median(ourWall), oc = Median(ourCpu);
  std::printf("\nmedians            curl tool   channel   ratio (channel / curl)\n");
  std::printf("wall s            %10.3f %9.3f %9.2f\n", cw, ow, ow / cw);
  std::printf("cpu s             %10.3f %9.3f %9.2f   (target <= 1.20)\n", cc, oc, oc / cc);
  std::printf("throughput MiB/s  %10.1f %9.1f %9.2f   (target >= 0.90)\n", mib / cw, mib / ow, cw / ow);
  std::printf("files identical to the source: %s\n", identical ? "yes" : "NO");

  // Idle: nothing to transfer; the main thread sleeps, so the process CPU is the two
  // channel threads' (and the timer's, which does not fire while the main thread sleeps).
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  Sleep(10000);
  getrusage(RUSAGE_SELF, &after);
  double idle = CpuOf(after) - CpuOf(before);
  std::printf("idle channel threads over 10 s: %.3f s CPU (%.2f %% of one core)\n", idle, idle * 10);

  ShutdownCommandChannel();
  ShutdownDownloadChannel();
  KillTimer(nullptr, timer);
  std::filesystem::remove(served + "/big.bin");
  return 0;
}
