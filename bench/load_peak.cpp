// load_peak FILE: loads the file as start-up does and nothing more, so that `/usr/bin/time -v`
// shows the peak memory of a load.
#include <cstdio>
#include <filesystem>
#include <string>

#include "data/csv_reader.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_peak FILE\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[1], "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "load_peak: cannot open %s\n", argv[1]);
    return 1;
  }
  DataTable table;
  std::string message;
  const bool ok = readCsvTable(file, table, message, std::filesystem::file_size(argv[1]));
  std::fclose(file);
  if (!ok) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
  }
  std::printf("%zu columns x %zu rows\n", table.columns.size(),
              table.columns.empty() ? std::size_t{0} : table.columns[0].size());
  return 0;
}
