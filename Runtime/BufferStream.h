// Byte streams: the input and output interfaces transfers read request bodies from and
// write response bodies to, and their in-memory implementations.
#pragma once

#include <windows.h>

#include <cstdint>

// A source of bytes. Owners call Free() when done; the destructor frees what is left.
class IBaseStream {
 public:
  IBaseStream() = default;
  virtual ~IBaseStream() = default;
  IBaseStream(const IBaseStream&) = delete;
  IBaseStream& operator=(const IBaseStream&) = delete;

  // Copies count bytes into buffer and returns count; 0 at the end, -1 on error.
  virtual int32_t Read(void* buffer, uint32_t count) = 0;
  // Total number of bytes.
  virtual int32_t Size() = 0;
  // Releases the data.
  virtual void Free() = 0;
};

// An input stream over a copy of a byte block. Reads are all or nothing: a read that
// asks for more than is left returns -1 and copies nothing.
class IBufferStream : public IBaseStream {
 public:
  IBufferStream(uint32_t size, const void* bytes);
  ~IBufferStream() override;

  int32_t Read(void* buffer, uint32_t count) override;
  int32_t Size() override;
  void Free() override;

 private:
  BYTE* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
  bool ownsData_ = false;
};

// A sink of bytes. errorType and errorCode hold the last write error of a stream that
// records one, as the HTTP layer's error kind (0 ok, 1 sys, 2 crt, 3 user, 4 http,
// 5 curl) and code.
class OBaseStream {
 public:
  OBaseStream() = default;
  virtual ~OBaseStream() = default;
  OBaseStream(const OBaseStream&) = delete;
  OBaseStream& operator=(const OBaseStream&) = delete;

  // Accepts count bytes and returns count, or -1 on error.
  virtual int32_t Write(const void* data, uint32_t count) = 0;
  // Ends writing and releases resources.
  virtual void Close() = 0;
  // Discards everything written so far.
  virtual void Clear() = 0;

  int32_t errorCode = 0;
  int32_t errorType = 0;
};

// An output stream into a growing memory block; the owner reads data and size directly.
// It starts with 2 MiB and doubles when a write would not fit. It never records an error.
class OBufferStream : public OBaseStream {
 public:
  OBufferStream();
  ~OBufferStream() override;

  int32_t Write(const void* bytes, uint32_t count) override;
  void Close() override;
  void Clear() override;

  BYTE* data = nullptr;
  uint32_t capacity = 0;
  uint32_t size = 0;

 private:
  bool Reserve(uint64_t needed);
};
