// posix_spawn with the settings every child of ours gets.
#include "internal/spawn.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace kvplat {
namespace {

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const auto& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

int Spawn(const SpawnRequest& request, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  if (request.stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, request.stdoutFd, 1);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!request.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, request.folder.c_str());
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  auto argv = Pointers(request.args);
  auto envp = request.env.empty() ? std::vector<char*>() : Pointers(request.env);
  char** env = request.env.empty() ? environ : envp.data();
  bool search = request.program.find('/') == std::string::npos;
  int error = search ? posix_spawnp(&pid, request.program.c_str(), &actions, &attr, argv.data(), env)
                     : posix_spawn(&pid, request.program.c_str(), &actions, &attr, argv.data(), env);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

int WaitForChild(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 0;  // already reaped elsewhere: nothing left to report
  }
  return status;
}

void DetachChild(pid_t pid) {
  std::thread([pid] { WaitForChild(pid); }).detach();
}

}  // namespace kvplat
