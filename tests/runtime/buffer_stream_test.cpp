// The in-memory streams: all-or-nothing reads, growth of the output block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Runtime/BufferStream.h"

TEST(IBufferStream, ReadsAreAllOrNothing) {
  const char bytes[] = "0123456789";
  IBufferStream stream(10, bytes);
  EXPECT_EQ(stream.Size(), 10);
  char buffer[8] = {};
  struct Step {
    uint32_t count;
    int32_t result;
    const char* got;  // the bytes the read delivered, when it delivered any
  } steps[] = {
      {4, 4, "0123"}, {4, 4, "4567"}, {4, -1, nullptr}, {2, 2, "89"}, {2, 0, nullptr},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(stream.Read(buffer, step.count), step.result) << step.count;
    if (step.got) {
      EXPECT_EQ(std::string(buffer, step.result), step.got);
    }
  }
  stream.Free();
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
}

TEST(OBufferStream, GrowsByDoublingAndKeepsTheBytesInOrder) {
  OBufferStream stream;
  EXPECT_EQ(stream.capacity, 2u * 1024 * 1024);
  std::vector<BYTE> piece(16 * 1024);
  std::vector<uint32_t> capacities;
  for (uint32_t i = 0; i < 3 * 64; ++i) {  // 3 MiB in 16 KiB pieces
    for (size_t j = 0; j < piece.size(); ++j) piece[j] = static_cast<BYTE>(i + j);
    ASSERT_EQ(stream.Write(piece.data(), static_cast<uint32_t>(piece.size())), 16 * 1024);
    if (capacities.empty() || capacities.back() != stream.capacity) capacities.push_back(stream.capacity);
  }
  EXPECT_EQ(capacities, (std::vector<uint32_t>{2u << 20, 4u << 20}));  // grew once
  ASSERT_EQ(stream.size, 3u << 20);
  for (uint32_t offset = 0; offset < stream.size; offset += 4099) {
    uint32_t i = offset / (16 * 1024), j = offset % (16 * 1024);
    ASSERT_EQ(stream.data[offset], static_cast<BYTE>(i + j)) << offset;
  }

  // After Clear the block starts again from 512 KiB.
  stream.Clear();
  EXPECT_EQ(stream.data, nullptr);
  EXPECT_EQ(stream.size, 0u);
  EXPECT_EQ(stream.Write("abc", 3), 3);
  EXPECT_EQ(stream.capacity, 512u * 1024);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(stream.data), stream.size), "abc");
  EXPECT_EQ(stream.errorType, 0);
  EXPECT_EQ(stream.errorCode, 0);
}
