// A machine prefix in a fresh temporary folder for one test: KV_PREFIX points at it
// while the object lives, and the folder is removed afterwards.
#pragma once

#include <string>

class TempPrefix {
 public:
  TempPrefix();
  ~TempPrefix();
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  // Host path of the prefix folder.
  const std::string& Root() const { return root_; }
  // Creates drive_<letter> so that the drive exists; returns its host folder.
  std::string AddDrive(char letter) const;
  // Host path below the prefix ("drive_c/x").
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }

 private:
  std::string root_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Writes bytes to a host file, creating its folders; returns false on failure.
bool WriteHostFile(const std::string& path, const std::string& bytes);
// Reads a whole host file ("" when missing).
std::string ReadHostFile(const std::string& path);
