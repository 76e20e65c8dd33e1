#include "render/number_text.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberText, WritesLikeADefaultStream) {
  const std::pair<double, const char*> cases[] = {
      {0, "0"},
      {-0.0, "-0"},
      {12.5, "12.5"},
      {0.1 + 0.2, "0.3"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {123456, "123456"},
      {1234567, "1.23457e+06"},
      {1e6, "1e+06"},
      {-2e-300, "-2e-300"},
      {4.6000000000000005, "4.6"},
      {999999.5, "1e+06"},
      {1e100, "1e+100"},
      {3.14159265, "3.14159"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(formatNumber(value), text) << value;
}

}  // namespace
