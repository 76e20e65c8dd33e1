// make_big_csv FILE [ROWS]: writes the benchmark table (10 000 000 rows unless told).
#include <cstdio>
#include <cstdlib>

#include "big_csv.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_big_csv FILE [ROWS]\n");
    return 2;
  }
  const std::uint64_t rows = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : kBigCsvRows;
  std::FILE* out = std::fopen(argv[1], "wb");
  const bool written = out != nullptr && writeBigCsv(out, rows);
  if (out != nullptr && std::fclose(out) != 0) return 1;
  if (!written) std::fprintf(stderr, "make_big_csv: could not write %s\n", argv[1]);
  return written ? 0 : 1;
}
