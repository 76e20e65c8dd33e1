// The benchmark corpus: one table per shape of numbers that real exports hold, from plain short
// integers to full-precision doubles, CR LF line ends and blanks. Integer arithmetic and
// std::to_chars alone make the digits, so every run on every platform writes the same bytes. The
// benchmarks read big versions, the tests small ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

struct CorpusShape {
  std::string_view name;
  std::string_view summary;
};

// Every shape, in the order the benchmarks report them.
std::span<const CorpusShape> corpusShapes();

// The shape of that name, or null.
const CorpusShape* findCorpusShape(std::string_view name);

// The size of each benchmark file: large enough that a load runs for about a second.
inline constexpr std::uint64_t kCorpusFileBytes = 500'000'000;

// How much to write: `rows` data lines, or with `rows` 0, whole lines until there are at least
// `bytes` bytes, header included.
struct CorpusSize {
  std::uint64_t rows = 0;
  std::uint64_t bytes = 0;
};

// The header and the first `rows` data lines.
std::string corpusText(const CorpusShape& shape, std::uint64_t rows);

// Writes the shape to an open file; false when writing failed.
bool writeCorpusFile(std::FILE* out, const CorpusShape& shape, CorpusSize size);
