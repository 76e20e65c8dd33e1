// The removal of blanks around fields: which runs go, which stay, at the edges of its blocks of
// 64 bytes and across them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/blanks_avx512.h"

#if defined(__x86_64__)

namespace {

std::string withoutFieldBlanks(const std::string& lines) {
  std::vector<char> in(lines.begin(), lines.end());
  in.resize(lines.size() + 64);
  std::vector<char> out(lines.size() + 64);
  char* const end = blanks::removeFieldBlanks(in.data(), in.data() + lines.size(), out.data());
  return std::string(out.data(), end);
}

std::string ones(std::size_t count) {
  return std::string(count, '1');
}

TEST(BlankRemoval, RunsThatTouchAFieldsEdgeGoAndTheOthersStay) {
  if (!number_scan::processorHasEightFieldReader()) GTEST_SKIP() << "no AVX-512 VBMI2 here";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {" 1 ,\t2\t\n", "1,2\n"},
      {"  \n \t \n", "\n\n"},
      {"1 2, 3 e5 ,- 4\n", "1 2,3 e5,- 4\n"},
      // Before a CR LF, but not behind a CR, where the CR would meet the line feed.
      {"5 \r\n", "5\r\n"},
      {"5\r \n", "5\r \n"},
      {"5\r  , 6\n", "5\r  ,6\n"},
      {" \r 5 \n", "\r 5\n"},
      // Runs that cross from one block of 64 bytes into the next, or fill one.
      {ones(62) + "   ,   2\n", ones(62) + ",2\n"},
      {ones(63) + ",  2\n", ones(63) + ",2\n"},
      {ones(63) + " ,2\n", ones(63) + ",2\n"},
      {ones(62) + " 3,4\n", ones(62) + " 3,4\n"},
      {"1," + std::string(150, ' ') + "2" + std::string(130, '\t') + "\n", "1,2\n"},
      {ones(58) + ", 5  \r\n", ones(58) + ",5\r\n"},
      {ones(62) + "\r  \n", ones(62) + "\r  \n"},
      {ones(63) + "\r \n", ones(63) + "\r \n"},
      {ones(61) + "\r\n  5\n", ones(61) + "\r\n5\n"},
      // A run or a CR that ends a block, whose fate the next block's first bytes decide.
      {ones(63) + " \r\n", ones(63) + "\r\n"},
      {ones(63) + " \r5\n", ones(63) + " \r5\n"},
      {ones(63) + " \t 7\n", ones(63) + " \t 7\n"},
      {ones(61) + "  \r\n", ones(61) + "\r\n"},
      {ones(61) + "  \r5\n", ones(61) + "  \r5\n"},
      {ones(63) + std::string(64, ' ') + "\r\n", ones(63) + "\r\n"},
      {ones(63) + std::string(64, '\t') + "8\n", ones(63) + std::string(64, '\t') + "8\n"},
  };
  for (const auto& [lines, expected] : cases) {
    EXPECT_EQ(withoutFieldBlanks(lines), expected) << lines;
  }
}

}  // namespace

#endif
