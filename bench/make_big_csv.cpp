// make_big_csv [--shape NAME] [--bytes N] FILE [ROWS]: writes one table of the benchmark corpus,
// the mixed shape unless told, ROWS data lines or else about N bytes (500 MB unless told).
// make_big_csv --list: the shapes.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "bench/corpus.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: make_big_csv [--shape NAME] [--bytes N] FILE [ROWS]\n"
               "       make_big_csv --list\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const CorpusShape* shape = findCorpusShape("mixed");
  CorpusSize size{0, kCorpusFileBytes};
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--list") {
      for (const CorpusShape& s : corpusShapes()) {
        std::printf("%-10.*s %.*s\n", static_cast<int>(s.name.size()), s.name.data(),
                    static_cast<int>(s.summary.size()), s.summary.data());
      }
      return 0;
    }
    if (arg == "--shape" && i + 1 < argc) {
      shape = findCorpusShape(argv[++i]);
      if (shape == nullptr) {
        std::fprintf(stderr, "make_big_csv: no shape %s (see --list)\n", argv[i]);
        return 2;
      }
    } else if (arg == "--bytes" && i + 1 < argc) {
      size.bytes = std::strtoull(argv[++i], nullptr, 10);
    } else if (path == nullptr && !arg.starts_with("--")) {
      path = argv[i];
    } else if (size.rows == 0 && !arg.starts_with("--")) {
      size.rows = std::strtoull(argv[i], nullptr, 10);
      if (size.rows == 0) return usage();
    } else {
      return usage();
    }
  }
  if (path == nullptr) return usage();
  std::FILE* out = std::fopen(path, "wb");
  const bool written = out != nullptr && writeCorpusFile(out, *shape, size);
  const bool closed = out != nullptr && std::fclose(out) == 0;
  if (!written || !closed) std::fprintf(stderr, "make_big_csv: could not write %s\n", path);
  return written && closed ? 0 : 1;
}
