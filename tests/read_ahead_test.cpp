#include "data/read_ahead.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "temp_file.h"

namespace {

std::string bytesOfSize(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

TEST(ReadAhead, HandsOverEveryBlockWithRoomAroundIt) {
  for (const std::size_t size : {0, 1, 4096, 10000, 12288}) {
    const std::string bytes = bytesOfSize(size);
    const TempFile file(bytes, ".bin");
    std::FILE* const stream = std::fopen(file.name().c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    ReadAheadHandle readAhead = startReadAhead(stream, 4096, 100, 64);
    ASSERT_NE(readAhead, nullptr);
    std::string read;
    std::vector<char> buffer;
    for (;;) {
      const std::span<char> block = nextBlock(*readAhead);
      tradeBlock(*readAhead, buffer);
      // The block now lies in the traded buffer, with its room before and behind it.
      ASSERT_GE(block.data() - buffer.data(), 100);
      ASSERT_LE(block.data() + block.size() + 64, buffer.data() + buffer.size());
      read.append(block.data(), block.size());
      if (block.size() < 4096) break;
    }
    readAhead.reset();
    EXPECT_EQ(read, bytes) << size;
    std::fclose(stream);
  }
}

TEST(ReadAhead, StopsWhileAhead) {
  const TempFile file(bytesOfSize(1 << 20), ".bin");
  std::FILE* const stream = std::fopen(file.name().c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  // Before the first block is taken, and with the next block asked for but perhaps not read.
  startReadAhead(stream, 4096, 0, 0).reset();
  ReadAheadHandle readAhead = startReadAhead(stream, 4096, 0, 0);
  std::vector<char> buffer;
  nextBlock(*readAhead);
  tradeBlock(*readAhead, buffer);
  readAhead.reset();
  std::fclose(stream);
}

}  // namespace
