// The files a package installer carries, appended to its own executable:
//
//   [program][entry]...[entry][trailer]
//   entry   = u32 name length, name (UTF-8), u64 size, bytes
//   trailer = the 8 bytes "KVPAYLD1", u64 offset of the first entry
//
// Numbers are little-endian.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace payload {

inline constexpr char kMagic[8] = {'K', 'V', 'P', 'A', 'Y', 'L', 'D', '1'};
inline constexpr size_t kTrailerSize = 16;

inline void PutNumber(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline uint64_t GetNumber(const std::string& in, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[at + i]);
  return value;
}

}  // namespace payload
