// Starting host programs without a shell, for the areas that run children
// (CreateProcessW, the shell's URL opener and folder chooser).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kvplat {

struct SpawnRequest {
  std::string program;            // host path, or a bare name looked up in PATH
  std::vector<std::string> args;  // argv, program name first
  std::vector<std::string> env;   // "NAME=value"; empty means our own environment
  std::string folder;             // current folder of the child; empty inherits ours
  int stdoutFd = -1;              // descriptor that becomes the child's stdout, or -1
};

// Starts the child with default signal handling, an empty signal mask and no
// descriptors of ours but the standard three. Returns 0 or the errno value.
int Spawn(const SpawnRequest& request, pid_t& pid);

// Waits for the child to end and returns its wait status.
int WaitForChild(pid_t pid);

// Lets a child we no longer care about be reaped when it ends, without anyone waiting.
void DetachChild(pid_t pid);

}  // namespace kvplat
