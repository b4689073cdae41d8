// Redirects a standard stream (file descriptor 1 or 2) into a temporary file while the
// object lives, so a test can read what the code under test wrote there.
#pragma once

#include <cstdio>
#include <string>

class CapturedStream {
 public:
  explicit CapturedStream(int fd);
  ~CapturedStream();
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  // Ends the redirection and returns everything written meanwhile.
  std::string Text();

 private:
  void Restore();

  int fd_;
  FILE* file_;
  int saved_;
};
