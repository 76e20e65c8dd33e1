#include "data/csv_reader.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "data/large_pages.h"
#include "data/number_scan.h"
#include "data/number_scan_ssse3.h"
#include "data/value_ranges.h"

namespace {

using number_scan::isBlank;
using number_scan::readPlainField;
using number_scan::readVectorField;
using number_scan::scanNumber;
using number_scan::startsNumber;

constexpr std::size_t kDefaultReservedRows = 10000;
// Readable bytes behind every window: separators are looked for 64 bytes at a time and numbers
// scanned eight at a time, either of which may read past the window's end. Behind the last byte
// of the input they are zeros, which end every scan there.
constexpr std::size_t kPaddingBytes = 64;
// Readable bytes before every window: a short field is read with a load that ends at its end.
constexpr std::size_t kFrontPaddingBytes = 16;
// The columns grow by whole blocks of rows, but a small table's first block grows from here in
// doublings, so that a header of many names and few rows cannot claim much memory.
constexpr std::size_t kFirstRoomRows = 16;

enum class Fault { None, InvalidValue, TooManyValues, NotEnoughValues, InvalidCharacter };

bool processorHasSsse3() {
  // Called while static objects are made, perhaps before the processor's features are read.
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
}

FieldReading fieldReading = FieldReading::Fastest;
bool ssse3Fields = processorHasSsse3();

// The input bytes at hand, [pos, end), with kFrontPaddingBytes readable before it and
// kPaddingBytes behind it (zeros when `final`, which means that no byte follows `end`).
struct Window {
  const char* pos;
  const char* end;
  bool final;
};

// Where the window's bytes come from: a file, read block by block into a buffer of ours that has
// the padding around it, or text in memory, whose windows lie in the text itself wherever the
// text has the padding's bytes around them.
struct Source {
  std::FILE* file = nullptr;
  std::string_view text;
  std::size_t blockBytes = kCsvBlockBytes;
  std::vector<char> buffer;
  const char* windowStart = nullptr;  // where the bytes of the current window begin
  std::uint64_t windowOffset = 0;     // the input offset of windowStart
};

std::uint64_t bytesConsumed(const Source& source, const Window& window) {
  return source.windowOffset + static_cast<std::uint64_t>(window.pos - source.windowStart);
}

std::uint64_t bytesDelivered(const Source& source, const Window& window) {
  return source.windowOffset + static_cast<std::uint64_t>(window.end - source.windowStart);
}

// The buffer holding `kept` bytes from `from` and room for `wanted` more, with the padding.
char* bufferFor(Source& source, const char* from, std::size_t kept, std::size_t wanted) {
  const std::size_t size = kFrontPaddingBytes + kept + wanted + kPaddingBytes;
  if (source.buffer.size() < size) {
    std::vector<char> larger(size);
    if (kept > 0) std::memcpy(larger.data() + kFrontPaddingBytes, from, kept);
    source.buffer.swap(larger);
  } else if (kept > 0) {
    std::memmove(source.buffer.data() + kFrontPaddingBytes, from, kept);
  }
  return source.buffer.data() + kFrontPaddingBytes;
}

void setWindow(Source& source, Window& window, const char* start, std::size_t bytes, bool final,
               std::uint64_t offset) {
  source.windowStart = start;
  source.windowOffset = offset;
  window = {start, start + bytes, final};
}

// Keeps the unconsumed bytes and reads behind them. A line longer than a block makes the next
// read as long as the line, so even a huge line is read in linear time.
void readMore(Source& source, Window& window) {
  const std::uint64_t consumed = source.windowStart ? bytesConsumed(source, window) : 0;
  const std::size_t kept = static_cast<std::size_t>(window.end - window.pos);
  const std::size_t wanted = std::max(source.blockBytes, kept);
  if (source.file != nullptr) {
    char* const data = bufferFor(source, window.pos, kept, wanted);
    const std::size_t got = std::fread(data + kept, 1, wanted, source.file);
    std::memset(data + kept + got, 0, kPaddingBytes);
    setWindow(source, window, data, kept + got, got < wanted, consumed);
    return;
  }
  const std::size_t size = source.text.size();
  const std::size_t start = static_cast<std::size_t>(consumed);
  const std::size_t end = std::min<std::uint64_t>(size, consumed + kept + wanted);
  if (start >= kFrontPaddingBytes && end + kPaddingBytes <= size) {
    setWindow(source, window, source.text.data() + start, end - start, false, consumed);
    return;
  }
  // Near either end of the text: a copy, and at the end all the rest of it.
  const std::size_t copied = end + kPaddingBytes <= size ? end - start : size - start;
  char* const data = bufferFor(source, nullptr, 0, copied);
  std::memcpy(data, source.text.data() + start, copied);
  std::memset(data + copied, 0, kPaddingBytes);
  setWindow(source, window, data, copied, start + copied == size, consumed);
}

void finishName(std::string& token, std::vector<std::string>& names) {
  trimBlanks(token);
  if (!token.empty()) names.push_back(token);
  token.clear();
}

// Collects names up to the first line end. Returns false when the window ran out first; a CR at
// its very end stays unread until the next byte tells whether it ends the line.
bool readHeader(Window& window, std::string& token, std::vector<std::string>& names) {
  const char* p = window.pos;
  for (;;) {
    const char* stop = p;
    while (stop != window.end && *stop != ',' && *stop != '\n' && *stop != '\r') ++stop;
    token.append(p, stop);
    p = stop;
    if (p == window.end) break;
    if (*p == '\r') {
      if (p + 1 == window.end && !window.final) break;
      if (p + 1 == window.end || p[1] != '\n') token += '\r';
      ++p;
      continue;
    }
    finishName(token, names);
    if (*p++ == '\n') {
      window.pos = p;
      return true;
    }
  }
  window.pos = p;
  if (!window.final) return false;
  finishName(token, names);
  return true;
}

std::size_t countLineFeeds(const char* p, const char* end) {
  std::size_t count = 0;
  while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
    ++count;
    ++p;
  }
  return count;
}

const char* lastLineFeed(const char* begin, const char* end) {
  while (end != begin) {
    if (*--end == '\n') return end;
  }
  return nullptr;
}

// Rows to reserve per column: the line density of the first bytes projected over the expected
// size, with a margin so that the estimate rarely falls short. Reserved pages that are never
// touched cost no memory.
std::size_t estimateRows(const Window& window, std::uint64_t remainingBytes,
                         std::size_t columnCount) {
  if (columnCount == 0) return 0;
  const double lines = static_cast<double>(countLineFeeds(window.pos, window.end));
  double rows = lines + 1;
  if (!window.final) {
    if (lines == 0) return kDefaultReservedRows;
    const double sampleBytes = static_cast<double>(window.end - window.pos);
    rows = lines * (static_cast<double>(remainingBytes) / sampleBytes) * (1.0 + 1.0 / 16) + 64;
  }
  // Every value takes at least a digit and a separator.
  const double mostValues = static_cast<double>(remainingBytes) / (2.0 * columnCount) + 1;
  const double largestVector = static_cast<double>(std::vector<double>().max_size());
  return static_cast<std::size_t>(std::min({rows, mostValues, largestVector}));
}

void createColumns(DataTable& table, std::size_t reservedRows) {
  table.columns.assign(table.names.size(), {});
  table.blockRanges.assign(table.names.size(), {});
  try {
    for (auto& column : table.columns) {
      column.reserve(reservedRows);
      adviseLargePages(column.data(), column.capacity() * sizeof(double));
    }
  } catch (const std::bad_alloc&) {
    // The estimate is only a hint: without room for all of it, the columns grow as they fill.
    table.columns.assign(table.names.size(), {});
    for (auto& column : table.columns) column.reserve(kDefaultReservedRows);
  }
  for (auto& ranges : table.blockRanges) ranges.reserve(reservedRows / kRangeBlockRows + 1);
}

// Positions of the bytes of a kind ahead of a place in the window, found 64 bytes at a time,
// so that the fields of a line are delimited without reading them one after the other.
struct ByteCursor {
  const char* base;
  std::uint64_t bits;  // bit i: base[i] is of the kind and not handed out yet
};

// Bit i set when p[i] is `a` or `b`, for i from 0 to 63.
std::uint64_t matchBits(const char* p, char a, char b) {
  const __m128i first = _mm_set1_epi8(a);
  const __m128i second = _mm_set1_epi8(b);
  std::uint64_t bits = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second));
    bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(marks))} << (16 * k);
  }
  return bits;
}

template <char kA, char kB>
ByteCursor cursorAt(const char* p) {
  return {p, matchBits(p, kA, kB)};
}

// The next byte of the kind; the caller knows that one lies ahead.
template <char kA, char kB>
const char* nextMatch(ByteCursor& cursor) {
  while (cursor.bits == 0) {
    cursor.base += 64;
    cursor.bits = matchBits(cursor.base, kA, kB);
  }
  const char* const match = cursor.base + std::countr_zero(cursor.bits);
  cursor.bits &= cursor.bits - 1;
  return match;
}

// Separators, and line feeds alone.
struct LineCursors {
  ByteCursor separators;
  ByteCursor lineFeeds;
};

LineCursors cursorsAt(const char* p) {
  return {cursorAt<',', '\n'>(p), cursorAt<'\n', '\n'>(p)};
}

// ---- Data lines

// One line as the plain character-by-character algorithm sees it.
struct LineState {
  std::size_t field = 0;
  bool fieldHasValue = false;
  // The first fault of the line that the plain line test cannot see (an empty field, two numbers
  // in one field); reported only when the line passes that test, so its messages stay the same.
  Fault deferred = Fault::None;
};

void defer(LineState& line, Fault fault) {
  if (line.deferred == Fault::None) line.deferred = fault;
}

Fault endLine(const LineState& line, std::size_t columnCount) {
  if (line.field != 0 && (line.field + 1 < columnCount || !line.fieldHasValue)) {
    return Fault::NotEnoughValues;
  }
  if (line.deferred != Fault::None) return line.deferred;
  // One value and no comma under two or more names would leave the other columns short.
  if (line.field == 0 && line.fieldHasValue && columnCount >= 2) return Fault::NotEnoughValues;
  return Fault::None;
}

struct StoredValue {
  std::size_t field;
  double value;
};

// Room for the values is made a block of rows at a time; `out` points at each column's values.
struct Rows {
  std::size_t count = 0;  // complete rows
  std::size_t room = 0;   // rows the columns have room for
  std::size_t blockStart = 0;
  std::vector<double*> out;
};

struct Reader {
  Rows rows;
  std::int64_t line = 1;
  // The values of the line that the plain algorithm reads, in the order it meets them.
  std::vector<StoredValue> lineValues;
  // Per column: whether its fields are read by the vector reader (see chooseFieldReaders).
  std::vector<char> vectorColumns;
};

// Block ranges of the full block, then room for the next rows.
void makeRoom(Reader& reader, DataTable& table) {
  Rows& rows = reader.rows;
  if (rows.count == rows.blockStart + kRangeBlockRows) {
    for (std::size_t j = 0; j < table.columns.size(); ++j) {
      table.blockRanges[j].push_back(
          rangeOf(table.columns[j].data() + rows.blockStart, kRangeBlockRows));
    }
    rows.blockStart = rows.count;
  }
  rows.room = std::min(rows.blockStart + kRangeBlockRows,
                       rows.count + std::max(rows.count, kFirstRoomRows));
  for (std::size_t j = 0; j < table.columns.size(); ++j) {
    std::vector<double>& column = table.columns[j];
    const double* before = column.data();
    column.resize(rows.room);
    if (column.data() != before)
      adviseLargePages(column.data(), column.capacity() * sizeof(double));
    rows.out[j] = column.data();
  }
}

[[gnu::noinline]] void makeRoomOutOfLine(Reader& reader, DataTable& table) {
  makeRoom(reader, table);
}

void completeRow(Reader& reader, DataTable& table) {
  ++reader.line;
  if (++reader.rows.count == reader.rows.room) makeRoomOutOfLine(reader, table);
}

// One line, character by character, as the plain algorithm reads it. `lineEnd` is the line's
// line feed or, for a last line without one, the end of the input (with a zero behind it).
[[gnu::noinline]] Fault readLineSlowly(const char* p, const char* lineEnd, bool endsInput,
                                       Reader& reader, DataTable& table) {
  const std::size_t columnCount = table.columns.size();
  LineState line;
  reader.lineValues.clear();
  while (p != lineEnd) {
    const char c = *p;
    if (startsNumber(c)) {
      double value;
      const char* const stop = scanNumber(p, value);
      if (stop == nullptr) return Fault::InvalidValue;
      if (line.field >= columnCount) return Fault::TooManyValues;
      if (line.fieldHasValue) defer(line, Fault::TooManyValues);
      reader.lineValues.push_back({line.field, value});
      line.fieldHasValue = true;
      p = stop;
    } else if (c == ',') {
      if (!line.fieldHasValue) defer(line, Fault::NotEnoughValues);
      ++line.field;
      line.fieldHasValue = false;
      ++p;
    } else if (isBlank(c) || (c == '\r' && !endsInput && p + 1 == lineEnd)) {
      ++p;
    } else {
      return Fault::InvalidCharacter;
    }
  }
  if (const Fault fault = endLine(line, columnCount); fault != Fault::None) return fault;
  if (reader.lineValues.empty()) {
    ++reader.line;
    return Fault::None;
  }
  // A line that passes holds exactly one value per column, in column order.
  for (const StoredValue& stored : reader.lineValues) {
    reader.rows.out[stored.field][reader.rows.count] = stored.value;
  }
  completeRow(reader, table);
  return Fault::None;
}

enum class Progress { Finished, NeedMore, Failed };

// Which field readers a line loop has: the plain one alone, or both, chosen per column.
enum class Fields { Baseline, ByColumn };

template <Fields kFields>
bool readNumberField(const Reader& reader, std::size_t column, const char* p, const char* end,
                     double& value) {
  if constexpr (kFields == Fields::ByColumn) {
    if (reader.vectorColumns[column]) return readVectorField(p, end, value);
  }
  return readPlainField(p, end, value);
}

// Lines of n numbers, the common case, are read field by field between the separators; a line
// with anything else (a blank line, an empty field, a fault) is left to the plain algorithm,
// which reads it again from its start. Returns the line's line feed, or nullptr.
template <Fields kFields>
const char* readPlainLine(const char* p, LineCursors& cursors, Reader& reader,
                          std::size_t columnCount) {
  double* const* out = reader.rows.out.data();
  const std::size_t row = reader.rows.count;
  const char* const lineFeed = nextMatch<'\n', '\n'>(cursors.lineFeeds);
  for (std::size_t j = 0; j + 1 < columnCount; ++j) {
    const char* const comma = nextMatch<',', '\n'>(cursors.separators);
    if (comma >= lineFeed || !readNumberField<kFields>(reader, j, p, comma, out[j][row])) {
      return nullptr;
    }
    p = comma + 1;
  }
  if (nextMatch<',', '\n'>(cursors.separators) != lineFeed) return nullptr;
  // A CR before the line feed ends the line with it.
  const char* const end = lineFeed - (lineFeed[-1] == '\r');
  const std::size_t last = columnCount - 1;
  return readNumberField<kFields>(reader, last, p, end, out[last][row]) ? lineFeed : nullptr;
}

// The field reader of each column. The plain reader branches on a field's form (its length,
// whether it has a point), which costs nothing while a column keeps one form and a mispredicted
// branch on about every other field where the form changes at random; the vector reader takes
// every form on one path, at a higher but even cost. A column whose form changes on more than
// one field in eight of the lines sampled at the window's start is read by the vector reader.
constexpr int kSampledLines = 64;

int fieldForm(const char* p, const char* end) {
  const char* const digits = p + (*p == '-');
  bool point = false;
  bool exponent = false;
  for (const char* c = digits; c != end; ++c) {
    point |= *c == '.';
    exponent |= (*c | 0x20) == 'e';
  }
  return int{end - digits > 8} + 2 * int{point} + 4 * int{exponent};
}

void chooseFieldReaders(const char* p, const char* stop, Reader& reader, std::size_t columnCount) {
  std::vector<int> forms(columnCount, -1);
  std::vector<int> changes(columnCount, 0);
  int lines = 0;
  for (; lines < kSampledLines && p != stop; ++lines) {
    const char* const lineEnd = static_cast<const char*>(std::memchr(p, '\n', stop - p));
    for (std::size_t j = 0; j < columnCount && p < lineEnd; ++j) {
      const char* comma = static_cast<const char*>(std::memchr(p, ',', lineEnd - p));
      if (comma == nullptr) comma = lineEnd;
      const int form = fieldForm(p, comma);
      changes[j] += forms[j] >= 0 && form != forms[j];
      forms[j] = form;
      p = comma + 1;
    }
    p = lineEnd + 1;
  }
  reader.vectorColumns.resize(columnCount);
  for (std::size_t j = 0; j < columnCount; ++j) {
    reader.vectorColumns[j] = changes[j] * 8 > lines || fieldReading == FieldReading::Ssse3;
  }
}

// Reads the whole lines of the window; a line cut by the window's end waits for the next block.
template <Fields kFields>
Progress readDataLinesWith(Window& window, Reader& reader, DataTable& table, Fault& fault) {
  const std::size_t columnCount = table.columns.size();
  const char* p = window.pos;
  if (const char* const last = lastLineFeed(p, window.end)) {
    const char* const stop = last + 1;
    if constexpr (kFields == Fields::ByColumn) chooseFieldReaders(p, stop, reader, columnCount);
    LineCursors cursors = cursorsAt(p);
    while (p != stop) {
      if (columnCount > 0) {
        if (const char* const lineFeed = readPlainLine<kFields>(p, cursors, reader, columnCount)) {
          p = lineFeed + 1;
          completeRow(reader, table);
          continue;
        }
      }
      const char* const lineEnd = static_cast<const char*>(std::memchr(p, '\n', stop - p));
      fault = readLineSlowly(p, lineEnd, false, reader, table);
      if (fault != Fault::None) return Progress::Failed;
      p = lineEnd + 1;
      cursors = cursorsAt(p);
    }
  }
  window.pos = p;
  if (!window.final) return Progress::NeedMore;
  fault = readLineSlowly(p, window.end, true, reader, table);
  window.pos = window.end;
  return fault == Fault::None ? Progress::Finished : Progress::Failed;
}

// Each instance has the field reader and everything the line loop calls, but for the rare
// out-of-line work, compiled into one function.
[[gnu::flatten]] Progress readDataLinesBaseline(Window& window, Reader& reader, DataTable& table,
                                                Fault& fault) {
  return readDataLinesWith<Fields::Baseline>(window, reader, table, fault);
}

[[gnu::flatten, gnu::target("ssse3,popcnt")]] Progress readDataLinesSsse3(Window& window,
                                                                          Reader& reader,
                                                                          DataTable& table,
                                                                          Fault& fault) {
  return readDataLinesWith<Fields::ByColumn>(window, reader, table, fault);
}

Progress readDataLines(Window& window, Reader& reader, DataTable& table, Fault& fault) {
  if (ssse3Fields) return readDataLinesSsse3(window, reader, table, fault);
  return readDataLinesBaseline(window, reader, table, fault);
}

const char* faultText(Fault fault) {
  switch (fault) {
    case Fault::InvalidValue:
      return "Invalid value detected in line ";
    case Fault::TooManyValues:
      return "Too many values in line ";
    case Fault::NotEnoughValues:
      return "Not enough values in line ";
    case Fault::InvalidCharacter:
      return "Invalid character detected in line ";
    case Fault::None:
      break;
  }
  return "";
}

// The columns cut to the complete rows, and the last, perhaps shorter, block's ranges.
void finishTable(Reader& reader, DataTable& table) {
  const Rows& rows = reader.rows;
  for (std::size_t j = 0; j < table.columns.size(); ++j) {
    if (rows.count > rows.blockStart) {
      table.blockRanges[j].push_back(
          rangeOf(table.columns[j].data() + rows.blockStart, rows.count - rows.blockStart));
    }
    table.columns[j].resize(rows.count);
  }
}

// The columns as a reader storing value by value leaves them at the fault: the complete rows,
// then the values of the failing line that came before the fault.
void keepValuesBeforeFault(Reader& reader, DataTable& table) {
  for (auto& column : table.columns) column.resize(reader.rows.count);
  for (const StoredValue& stored : reader.lineValues) {
    table.columns[stored.field].push_back(stored.value);
  }
}

}  // namespace

struct CsvReaderState {
  Source source;
  Window window{nullptr, nullptr, false};
  std::uint64_t expectedBytes = 0;
  bool headerRead = false;
  std::string headerToken;
  Reader reader;
};

void CsvReaderStateDeleter::operator()(CsvReaderState* state) const {
  delete state;
}

namespace {

void startDataLines(CsvReaderState& state, DataTable& table) {
  const std::uint64_t headerBytes = bytesConsumed(state.source, state.window);
  const std::uint64_t remainingBytes =
      state.expectedBytes > headerBytes ? state.expectedBytes - headerBytes : 0;
  createColumns(table, state.expectedBytes == 0
                           ? kDefaultReservedRows
                           : estimateRows(state.window, remainingBytes, table.names.size()));
  state.reader.rows.out.assign(table.columns.size(), nullptr);
  makeRoom(state.reader, table);
}

// Reads what the window holds: the header until it is complete, then data lines.
void readWindow(CsvLoad& load, CsvReaderState& state) {
  if (!state.headerRead) {
    if (!readHeader(state.window, state.headerToken, load.table.names)) return;
    state.headerRead = true;
    startDataLines(state, load.table);
  }
  Fault fault = Fault::None;
  switch (readDataLines(state.window, state.reader, load.table, fault)) {
    case Progress::NeedMore:
      return;
    case Progress::Finished:
      finishTable(state.reader, load.table);
      load.status = CsvStatus::Loaded;
      return;
    case Progress::Failed:
      keepValuesBeforeFault(state.reader, load.table);
      load.message = faultText(fault) + std::to_string(state.reader.line) + ".";
      load.status = CsvStatus::Failed;
      return;
  }
}

CsvLoad newLoad() {
  CsvLoad load;
  load.reader.reset(new CsvReaderState);
  return load;
}

bool finishCall(CsvLoad& load, DataTable& table, std::string& message) {
  continueCsvLoad(load, UINT64_MAX);
  table = std::move(load.table);
  if (load.status != CsvStatus::Loaded) message = load.message;
  return load.status == CsvStatus::Loaded;
}

}  // namespace

CsvLoad beginCsvLoad(std::FILE* file, std::uint64_t expectedBytes, std::size_t blockBytes) {
  CsvLoad load = newLoad();
  load.reader->source.file = file;
  load.reader->source.blockBytes = std::max<std::size_t>(blockBytes, 1);
  load.reader->expectedBytes = expectedBytes;
  return load;
}

CsvLoad beginCsvLoad(std::string_view text) {
  CsvLoad load = newLoad();
  load.reader->source.text = text;
  load.reader->expectedBytes = text.size();
  return load;
}

CsvStatus continueCsvLoad(CsvLoad& load, std::uint64_t byteBudget) {
  CsvReaderState& state = *load.reader;
  const std::uint64_t stopAt = load.bytesRead + std::min(byteBudget, UINT64_MAX - load.bytesRead);
  while (load.status == CsvStatus::Reading) {
    readMore(state.source, state.window);
    load.bytesRead = bytesDelivered(state.source, state.window);
    readWindow(load, state);
    if (load.bytesRead >= stopAt) break;
  }
  return load.status;
}

bool readCsvTable(std::FILE* file, DataTable& table, std::string& message,
                  std::uint64_t expectedBytes) {
  return readCsvTableBlockwise(file, table, message, expectedBytes, kCsvBlockBytes);
}

bool readCsvTableBlockwise(std::FILE* file, DataTable& table, std::string& message,
                           std::uint64_t expectedBytes, std::size_t blockBytes) {
  CsvLoad load = beginCsvLoad(file, expectedBytes, blockBytes);
  return finishCall(load, table, message);
}

bool readCsvText(std::string_view text, DataTable& table, std::string& message) {
  CsvLoad load = beginCsvLoad(text);
  return finishCall(load, table, message);
}

void setFieldReading(FieldReading reading) {
  fieldReading = reading;
  ssse3Fields = reading != FieldReading::Baseline && processorHasSsse3();
}

void trimBlanks(std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return;
  text.erase(text.find_last_not_of(" \t") + 1);
  text.erase(0, first);
}
