#include "support/CapturedStream.h"

#include <unistd.h>

CapturedStream::CapturedStream(int fd) : fd_(fd), file_(tmpfile()), saved_(dup(fd)) {
  fflush(nullptr);
  if (file_) dup2(fileno(file_), fd_);
}

CapturedStream::~CapturedStream() {
  Restore();
  if (file_) fclose(file_);
}

std::string CapturedStream::Text() {
  Restore();
  std::string text;
  if (!file_) return text;
  rewind(file_);
  for (int ch; (ch = fgetc(file_)) != EOF;) text += static_cast<char>(ch);
  return text;
}

void CapturedStream::Restore() {
  if (saved_ >= 0) {
    fflush(nullptr);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
  }
}
