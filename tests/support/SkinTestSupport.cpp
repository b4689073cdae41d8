#include "support/SkinTestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace skintest {

namespace {

std::string Quote(const std::string& text) { return "'" + text + "'"; }

}  // namespace

bool MakeArchive(ZipTool tool, const std::string& archivePath, const std::map<std::string, std::string>& files,
                 const std::string& comment) {
  std::string scratch = archivePath + ".src";
  fs::remove_all(scratch);
  std::string names;
  for (const auto& [name, bytes] : files) {
    if (!WriteHostFile(scratch + "/" + name, bytes)) return false;
    names += " " + Quote(name);
  }
  fs::remove(archivePath);
  std::string command;
  switch (tool) {
    case ZipTool::InfoZipStored: command = "zip -q -0 -X " + Quote(archivePath) + names; break;
    case ZipTool::InfoZipDeflated: command = "zip -q -9 -X " + Quote(archivePath) + names; break;
    case ZipTool::PythonZipfile: {
      std::string script =
          "import sys, zipfile\n"
          "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "    z.comment = b'x' * int(sys.argv[2])\n"
          "    for n in sys.argv[3:]: z.write(n)\n";
      if (!WriteHostFile(scratch + "/make.py", script)) return false;
      command = "python3 make.py " + Quote(archivePath) + " " + std::to_string(comment.size()) + names;
      break;
    }
  }
  if (tool != ZipTool::PythonZipfile && !comment.empty()) return false;
  std::string full = "cd " + Quote(scratch) + " && " + command + " >/dev/null 2>&1";
  bool ok = std::system(full.c_str()) == 0;
  fs::remove_all(scratch);
  return ok;
}

std::string SampleBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    // Runs of repeated bytes mixed with noise.
    bytes[i] = (i / 64) % 2 ? static_cast<char>('a' + (i / 64) % 26) : static_cast<char>(state >> 16);
  }
  return bytes;
}

}  // namespace skintest
