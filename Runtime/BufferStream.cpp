// In-memory input and output streams.
#include "Runtime/BufferStream.h"

#include <cstring>
#include <limits>
#include <new>

namespace {
constexpr uint32_t kInitialOutputCapacity = 2u * 1024 * 1024;
constexpr uint32_t kRestartCapacity = 512u * 1024;
// Room kept behind the bytes, so that a reader may terminate text in place.
constexpr uint32_t kSlack = 10;
}  // namespace

IBufferStream::IBufferStream(uint32_t size, const void* bytes) {
  if (size == 0 || !bytes) return;
  data_ = new BYTE[size];
  std::memcpy(data_, bytes, size);
  size_ = size;
  ownsData_ = true;
}

IBufferStream::~IBufferStream() { Free(); }

int32_t IBufferStream::Read(void* buffer, uint32_t count) {
  if (position_ == size_) return 0;
  if (static_cast<uint64_t>(position_) + count > size_ ||
      count > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
    return -1;
  if (count) std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  return static_cast<int32_t>(count);
}

int32_t IBufferStream::Size() { return static_cast<int32_t>(size_); }

void IBufferStream::Free() {
  if (ownsData_) delete[] data_;
  data_ = nullptr;
  size_ = 0;
  position_ = 0;
  ownsData_ = false;
}

OBufferStream::OBufferStream() {
  data = new BYTE[kInitialOutputCapacity];
  capacity = kInitialOutputCapacity;
}

OBufferStream::~OBufferStream() { Close(); }

// Doubles the capacity until needed bytes fit, moving the bytes written so far. False
// when the block cannot grow that far (32-bit sizes, or no memory).
bool OBufferStream::Reserve(uint64_t needed) {
  if (needed <= capacity) return true;
  if (needed > std::numeric_limits<uint32_t>::max()) return false;
  uint64_t grown = capacity == 0 ? kRestartCapacity : capacity;
  while (grown < needed) grown *= 2;
  if (grown > std::numeric_limits<uint32_t>::max()) grown = needed;
  auto* larger = new (std::nothrow) BYTE[grown];
  if (!larger) return false;
  if (size) std::memcpy(larger, data, size);
  delete[] data;
  data = larger;
  capacity = static_cast<uint32_t>(grown);
  return true;
}

int32_t OBufferStream::Write(const void* bytes, uint32_t count) {
  if (count > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return -1;
  if (!Reserve(static_cast<uint64_t>(size) + count + kSlack)) return -1;
  if (count) std::memcpy(data + size, bytes, count);
  size += count;
  return static_cast<int32_t>(count);
}

void OBufferStream::Close() {
  delete[] data;
  data = nullptr;
  capacity = 0;
  size = 0;
}

void OBufferStream::Clear() { Close(); }
