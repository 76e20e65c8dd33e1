#include "big_csv.h"

#include <charconv>
#include <random>
#include <string>

namespace {

// Uniform in [0, 1) from the top 53 bits: unlike the standard distributions, the same on every
// standard library.
double unitInterval(std::mt19937_64& rng) {
  return static_cast<double>(rng() >> 11) * 0x1p-53;
}

void appendNumber(std::string& line, double value, std::chars_format format, int precision) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value, format, precision);
  line.append(text, written.ptr);
}

void appendValue(std::string& line, int column, std::mt19937_64& rng) {
  const double u = unitInterval(rng);
  switch (column % 4) {
    case 0:
      return appendNumber(line, 2000 * u - 1000, std::chars_format::fixed, 6);
    case 1:
      return appendNumber(line, 0.001 * u, std::chars_format::fixed, 6);
    case 2:
      return appendNumber(line, 10000 * u, std::chars_format::fixed, 1);
    default:
      return appendNumber(line, (u - 0.5) * 1e-6, std::chars_format::scientific, 1);
  }
}

}  // namespace

bool writeBigCsv(std::FILE* out, std::uint64_t rows) {
  std::mt19937_64 rng(20240611);
  std::string block = "x,y,offset,weight,noise,depth\n";
  for (std::uint64_t row = 0; row < rows; ++row) {
    for (int column = 0; column < 6; ++column) {
      if (column > 0) block += ',';
      appendValue(block, column, rng);
    }
    block += '\n';
    if (block.size() > (1u << 20)) {
      if (std::fwrite(block.data(), 1, block.size(), out) != block.size()) return false;
      block.clear();
    }
  }
  return std::fwrite(block.data(), 1, block.size(), out) == block.size();
}
