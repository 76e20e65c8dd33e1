#include "reference_csv_reader.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "data/csv_reader.h"

namespace {

std::string asTextMode(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

void trimSpacesAndTabs(std::string& token) {
  if (token.find_first_not_of(" \t") == std::string::npos) return;
  while (token.front() == ' ' || token.front() == '\t') token.erase(0, 1);
  while (token.back() == ' ' || token.back() == '\t') token.pop_back();
}

void readHeader(std::istream& in, std::vector<std::string>& names) {
  std::string token;
  for (;;) {
    const int c = in.get();
    if (c != ',' && c != '\n' && c != EOF) {
      token += static_cast<char>(c);
      continue;
    }
    trimSpacesAndTabs(token);
    if (!token.empty()) names.push_back(token);
    token.clear();
    if (c != ',') return;
  }
}

}  // namespace

bool referenceReadCsv(std::string_view fileBytes, DataTable& table, std::string& message) {
  std::istringstream in(asTextMode(fileBytes));
  table.names.clear();
  table.columns.clear();
  readHeader(in, table.names);
  const long long nameCount = static_cast<long long>(table.names.size());
  table.columns.assign(table.names.size(), {});

  long long line = 1;
  long long field = 0;
  bool fieldHasValue = false;
  // The added checks that keep the columns equal: the first empty field or second number in a
  // field, reported only when the line passes the plain test; then a lone value under two names.
  const char* deferred = nullptr;
  const auto fail = [&](const char* text) {
    message = text + std::to_string(line) + ".";
    return false;
  };
  for (;;) {
    const int c = in.get();
    if ((c >= '0' && c <= '9') || c == '-') {
      in.putback(static_cast<char>(c));
      double value;
      in >> value;
      if (in.fail()) return fail("Invalid value detected in line ");
      if (field >= nameCount) return fail("Too many values in line ");
      if (fieldHasValue && !deferred) deferred = "Too many values in line ";
      table.columns[field].push_back(value);
      fieldHasValue = true;
    } else if (c == ' ' || c == '\t') {
      continue;
    } else if (c == ',') {
      if (!fieldHasValue && !deferred) deferred = "Not enough values in line ";
      ++field;
      fieldHasValue = false;
    } else if (c == '\n' || c == EOF) {
      if (field != 0 && (field < nameCount - 1 || !fieldHasValue)) {
        return fail("Not enough values in line ");
      }
      if (deferred) return fail(deferred);
      if (field == 0 && fieldHasValue && nameCount >= 2) return fail("Not enough values in line ");
      if (c == EOF) return true;
      ++line;
      field = 0;
      fieldHasValue = false;
    } else {
      return fail("Invalid character detected in line ");
    }
  }
}

bool identicalTables(const DataTable& a, const DataTable& b) {
  if (a.names != b.names || a.columns.size() != b.columns.size()) return false;
  for (std::size_t j = 0; j < a.columns.size(); ++j) {
    const auto& x = a.columns[j];
    const auto& y = b.columns[j];
    if (x.size() != y.size()) return false;
    if (!x.empty() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) != 0) return false;
  }
  return true;
}

namespace {

// A stream over the bytes: in memory where the C library can, else through a temporary file.
std::FILE* openAsFile(std::string_view bytes) {
#if !defined(_WIN32)
  if (!bytes.empty()) return fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
#endif
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return nullptr;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return file;
}

}  // namespace

bool readCsvThroughFile(std::string_view fileBytes, std::size_t blockBytes, DataTable& table,
                        std::string& message, std::uint64_t expectedBytes) {
  std::FILE* file = openAsFile(fileBytes);
  if (file == nullptr) {
    message = "no stream over the bytes";
    return false;
  }
  const bool ok = readCsvTableBlockwise(file, table, message, expectedBytes, blockBytes);
  std::fclose(file);
  return ok;
}
