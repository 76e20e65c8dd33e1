// Feeds arbitrary bytes to the CSV reader, whole and in small blocks, and aborts unless both
// agree with the literal reference reader on outcome, message, names and every value's bits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/csv_reader.h"
#include "reference_csv_reader.h"

namespace {

void expectSame(const char* how, bool ok, const std::string& message, const DataTable& table,
                bool expectedOk, const std::string& expectedMessage, const DataTable& expected) {
  if (ok == expectedOk && message == expectedMessage && identicalTables(table, expected)) return;
  std::fprintf(stderr, "%s: \"%s\" where the reference gives \"%s\"%s\n", how,
               ok ? "success" : message.c_str(), expectedOk ? "success" : expectedMessage.c_str(),
               ok == expectedOk && message == expectedMessage ? ", with other values" : "");
  std::abort();
}

// Reads the bytes through a memory stream; the block size comes from the input so that the
// fuzzer can cut numbers and line ends wherever it likes.
bool readInBlocks(const std::uint8_t* data, std::size_t size, DataTable& table,
                  std::string& message) {
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (file == nullptr) std::abort();
  const bool ok = readCsvTableBlockwise(file, table, message, size, 1 + size % 7);
  std::fclose(file);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  DataTable expected;
  std::string expectedMessage;
  const bool expectedOk = referenceReadCsv(bytes, expected, expectedMessage);

  DataTable table;
  std::string message;
  const bool ok = readCsvText(bytes, table, message);
  expectSame("readCsvText", ok, message, table, expectedOk, expectedMessage, expected);
  if (size == 0) return 0;

  DataTable blockTable;
  std::string blockMessage;
  const bool blockOk = readInBlocks(data, size, blockTable, blockMessage);
  expectSame("readCsvTableBlockwise", blockOk, blockMessage, blockTable, expectedOk,
             expectedMessage, expected);
  return 0;
}
