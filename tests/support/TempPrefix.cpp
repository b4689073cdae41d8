#include "support/TempPrefix.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempPrefix::TempPrefix() {
  std::string pattern = (fs::temp_directory_path() / "kvprefix-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  if (const char* old = std::getenv("KV_PREFIX")) {
    hadPrevious_ = true;
    previous_ = old;
  }
  setenv("KV_PREFIX", root_.c_str(), 1);
  fs::create_directories(root_ + "/drive_c/ProgramData");
}

TempPrefix::~TempPrefix() {
  if (hadPrevious_)
    setenv("KV_PREFIX", previous_.c_str(), 1);
  else
    unsetenv("KV_PREFIX");
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string TempPrefix::AddDrive(char letter) const {
  std::string folder = root_ + "/drive_" + static_cast<char>(std::tolower(letter));
  fs::create_directories(folder);
  return folder;
}

bool WriteHostFile(const std::string& path, const std::string& bytes) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
