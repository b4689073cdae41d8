// Build tool: appends files to a package installer executable.
//   kv_pack_payload <installer> <name>=<file> ...
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "Payload.h"

namespace {

bool ReadAll(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return static_cast<bool>(in) || in.eof();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: kv_pack_payload <installer> <name>=<file> ...\n";
    return 2;
  }
  std::ifstream existing(argv[1], std::ios::binary | std::ios::ate);
  if (!existing) {
    std::cerr << "kv_pack_payload: cannot read " << argv[1] << "\n";
    return 1;
  }
  uint64_t start = static_cast<uint64_t>(existing.tellg());
  existing.close();
  std::string packed;
  for (int i = 2; i < argc; ++i) {
    std::string spec = argv[i];
    size_t equals = spec.find('=');
    std::string bytes;
    if (equals == std::string::npos || !ReadAll(spec.substr(equals + 1), bytes)) {
      std::cerr << "kv_pack_payload: bad entry " << spec << "\n";
      return 1;
    }
    std::string name = spec.substr(0, equals);
    payload::PutNumber(packed, name.size(), 4);
    packed += name;
    payload::PutNumber(packed, bytes.size(), 8);
    packed += bytes;
  }
  packed.append(payload::kMagic, sizeof payload::kMagic);
  payload::PutNumber(packed, start, 8);
  std::ofstream out(argv[1], std::ios::binary | std::ios::app);
  out.write(packed.data(), static_cast<std::streamsize>(packed.size()));
  return out.flush() ? 0 : 1;
}
