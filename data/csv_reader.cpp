#include "data/csv_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "data/blanks_avx512.h"
#include "data/large_pages.h"
#include "data/number_scan.h"
#include "data/number_scan_avx2.h"
#include "data/number_scan_avx512.h"
#include "data/value_ranges.h"

namespace {

using number_scan::isBlank;
using number_scan::scanNumber;
using number_scan::startsNumber;
using number_scan::VectorReader;

constexpr std::size_t kDefaultReservedRows = 10000;
// Readable bytes behind every window: separators are looked for 64 bytes at a time and numbers
// scanned eight at a time, either of which may read past the window's end. Behind the last byte
// of the input they are zeros, which end every scan there.
constexpr std::size_t kPaddingBytes = 64;
// Readable bytes before every window: a field is read with loads that end at its end.
constexpr std::size_t kFrontPaddingBytes = 32;
// Values are stored in a stage of a few rows of every column before they are appended to the
// columns: the columns of a big table start at the same place in their pages, so that storing
// row by row into many of them at once would evict each cache line before it is full, and
// appending does without the zeros that growing a column writes first. At most this many bytes,
// so that a header of many names cannot claim much memory.
constexpr std::size_t kStageBytes = std::size_t{256} << 10;
constexpr std::size_t kStageRows = 32;
// Tables of up to four columns stage more rows, up to this many values and kMostStageRows, where
// the appends of a stage and its ranges would otherwise take a tenth of the reading (flights-30M
// parses 1.02x-1.09x faster with 64 rows, slower with 128).
constexpr std::size_t kFewColumnsStageValues = 256;
constexpr std::size_t kMostStageRows = 128;

enum class Fault { None, InvalidValue, TooManyValues, NotEnoughValues, InvalidCharacter };

bool processorHasVectorFields() {
#if defined(__x86_64__)
  return number_scan::processorHasVectorReaders();
#else
  return false;
#endif
}

bool processorHasEightFields() {
#if defined(__x86_64__)
  return processorHasVectorFields() && number_scan::processorHasEightFieldReader();
#else
  return false;
#endif
}

FieldReading fieldReading = FieldReading::Fastest;
bool vectorFields = processorHasVectorFields();
bool eightFields = processorHasEightFields();

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

// Sixteen bytes at a time: a window holds thousands of lines, and looking for one line feed after
// the other took 9% of loading a table of 3 MB.
std::size_t countLineFeeds(const char* p, const char* end) {
  std::size_t count = 0;
  const __m128i lineFeed = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    // Each byte counts up to 255 before the counts are summed.
    const char* const stop = p + std::min<std::ptrdiff_t>((end - p) / 16, 255) * 16;
    __m128i counts = _mm_setzero_si128();
    for (; p != stop; p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, lineFeed));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
  }
  return count + static_cast<std::size_t>(std::count(p, end, '\n'));
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

// The rows read: those in the columns, then those in the stage, where row r of column j is at
// out[j][r - stageStart].
struct Rows {
  std::size_t count = 0;       // complete rows
  std::size_t stageStart = 0;  // the first row in the stage; the columns hold the rows before it
  std::size_t room = 0;        // the stage is full when count reaches it
  std::size_t blockStart = 0;  // the first row of the block whose range is still to be taken
  std::size_t stageRows = 0;
  std::vector<double> stage;  // stageRows rows of every column, a column's rows together
  std::vector<double*> out;
  // Per column, the range of the block's rows flushed so far, where stages are whole strides of
  // a running range; else a block's range is taken from its column once the block is complete.
  std::vector<RunningRange> ranges;
};

// The forms of a column's sampled fields: how many have each.
struct SampledForms {
  int otherForms = 0;
  int otherThanIntegers = 0;      // other than '-' and 1 to 19 digits
  int otherThanLongDecimals = 0;  // other than '-' and 1 to 32 bytes of digits and a point
  int decimals = 0;
  int overEightBytes = 0;
  int overSixteenBytes = 0;
  int blanks = 0;  // with blanks around the number
};

// A field that the short decimal reader refused, left for the reader of any form (see
// readDeferredFields).
struct DeferredField {
  const char* start;
  const char* end;
  double* value;  // in the stage
};

// Where a table has fewer than eight columns of short numbers, its lines are read in blocks, eight
// fields at a time across the line ends, in as many groups of eight as make whole lines: 8 lines
// of 1, 3, 5 or 7 columns, 4 of 2 or 6, 2 of 4. Every lane of a group serves: read two lines of
// three columns at a time, six fields in the eight lanes, flights-30M parsed slower than line by
// line; read in blocks, 1.4x-2x faster.
struct LineBlocks {
  std::size_t lines = 0;  // none where 0
  std::size_t groups = 0;
  std::array<std::uint64_t, 7> lineFeeds{};  // per group, as readShortFields takes them
  // Field f of a block: its place in the stage from the block's first row of column 0, where each
  // column's rows lie together, stageRows apart.
  std::array<std::size_t, 56> places{};
};

LineBlocks lineBlocks(std::size_t columnCount, std::size_t stageRows) {
  LineBlocks blocks;
  if (columnCount == 0 || columnCount >= 8) return blocks;
  blocks.lines = std::lcm(columnCount, std::size_t{8}) / columnCount;
  blocks.groups = blocks.lines * columnCount / 8;
  for (std::size_t f = 0; f != blocks.lines * columnCount; ++f) {
    const std::size_t column = f % columnCount;
    blocks.places[f] = column * stageRows + f / columnCount;
    if (column == columnCount - 1) blocks.lineFeeds[f / 8] |= std::uint64_t{1} << (f % 8);
  }
  return blocks;
}

struct Reader {
  Rows rows;
  std::int64_t line = 1;
  // The values of the line that the plain algorithm reads, in the order it meets them.
  std::vector<StoredValue> lineValues;
  // Per column, the vector reader of its fields (see formOf): the integer readers where they are
  // short or long integers, the short decimal reader where they mostly keep that form, the long
  // decimal reader where they are long decimals, the reader of any form where they change it
  // more often; the short decimal reader and the reader of any form also in a variant that takes
  // blanks around the number, where the column has them.
  std::vector<VectorReader> forms;
  // The forms of each column's fields in the lines sampled so far (see chooseFieldReaders).
  std::vector<SampledForms> sampledForms;
  int sampledLines = 0;
  // Room for every field of a stage, where the short decimal reader keeps the fields it refused
  // until the stage is full.
  std::vector<DeferredField> deferred;
  // A piece of the window's lines without the blanks around their fields, with the padding
  // around it (see readDataLinesWithoutBlanks).
  std::vector<char> withoutBlanks;
  // How the columns' pages fill (see large_pages.h).
  PageFill pages;
  LineBlocks blocks;
};

// Asks for the cache lines that the next `count` values appended to `column` will fill, as far
// as its capacity goes. The columns of a table grow side by side, more streams than the
// processor's own prefetcher follows, so that without this each append waits for its lines to
// come from memory. Inlined, as GCC would otherwise find a function with no effect in it and drop
// its calls.
[[gnu::always_inline]] inline void prefetchAppend(const std::vector<double>& column,
                                                  std::size_t count) {
  const auto end = reinterpret_cast<const char*>(column.data() + column.size());
  const std::size_t bytes = std::min(count, column.capacity() - column.size()) * sizeof(double);
  for (std::size_t offset = 0; offset < bytes; offset += 64) __builtin_prefetch(end + offset, 0, 3);
}

// The stage's rows appended to the columns, the ranges of a block they complete, and an empty
// stage.
void flushStage(Reader& reader, DataTable& table) {
  Rows& rows = reader.rows;
  const std::size_t staged = rows.count - rows.stageStart;
  // Only the last flush, of the last block, may be short of a stage.
  const bool runningRanges = !rows.ranges.empty() && staged == rows.stageRows;
  const bool blockStarts = rows.stageStart == rows.blockStart;
  for (std::size_t j = 0; j < table.columns.size(); ++j) {
    std::vector<double>& column = table.columns[j];
    const double* before = column.data();
    const double* const end = before + column.size();
    fillPages(reader.pages, end, end + std::min(staged, column.capacity() - column.size()),
              before + column.capacity());
    column.insert(column.end(), rows.out[j], rows.out[j] + staged);
    if (column.data() != before && !reader.pages.smallPages) {
      adviseLargePages(column.data(), column.capacity() * sizeof(double));
    }
    prefetchAppend(column, rows.stageRows);
    if (runningRanges && blockStarts) {
      startRange(rows.ranges[j], rows.out[j], staged);
    } else if (runningRanges) {
      extendRange(rows.ranges[j], rows.out[j], staged);
    }
  }
  if (rows.count == rows.blockStart + kRangeBlockRows) {
    for (std::size_t j = 0; j < table.columns.size(); ++j) {
      table.blockRanges[j].push_back(
          rows.ranges.empty() ? rangeOf(table.columns[j].data() + rows.blockStart, kRangeBlockRows)
                              : finishRange(rows.ranges[j]));
    }
    rows.blockStart = rows.count;
  }
  rows.stageStart = rows.count;
  rows.room = rows.count + rows.stageRows;
}

[[gnu::noinline]] void flushStageOutOfLine(Reader& reader, DataTable& table) {
  flushStage(reader, table);
}

// A power of two that divides the rows of a block, so that blocks end where stages do.
void makeStage(Rows& rows, std::size_t columnCount) {
  rows.stageRows = kStageRows;
  while (columnCount != 0 && rows.stageRows < kMostStageRows &&
         2 * rows.stageRows * columnCount <= kFewColumnsStageValues) {
    rows.stageRows *= 2;
  }
  while (rows.stageRows > 1 && rows.stageRows * columnCount * sizeof(double) > kStageBytes) {
    rows.stageRows /= 2;
  }
  rows.stage.assign(rows.stageRows * columnCount, 0.0);
  rows.out.resize(columnCount);
  for (std::size_t j = 0; j < columnCount; ++j)
    rows.out[j] = rows.stage.data() + j * rows.stageRows;
  rows.room = rows.stageRows;
  if (rows.stageRows % kRangeStride == 0) rows.ranges.resize(columnCount);
}

void completeRow(Reader& reader, DataTable& table) {
  ++reader.line;
  if (++reader.rows.count == reader.rows.room) flushStageOutOfLine(reader, table);
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
  const std::size_t staged = reader.rows.count - reader.rows.stageStart;
  for (const StoredValue& stored : reader.lineValues) {
    reader.rows.out[stored.field][staged] = stored.value;
  }
  completeRow(reader, table);
  return Fault::None;
}

enum class Progress { Finished, NeedMore, Failed };

// The field readers of a line loop: one of the vector readers on every column, under its own
// value, so that the one dispatch of the readers serves both; the short decimal reader also two
// fields at a time, where fields of up to 8 bytes are the rule, or leaving the fields of other
// forms for later (see readDeferredFields); each column's own; or the plain one on every column.
enum class Fields : char {
  ShortInteger = static_cast<char>(VectorReader::ShortInteger),
  LongInteger = static_cast<char>(VectorReader::LongInteger),
  ShortDecimal = static_cast<char>(VectorReader::ShortDecimal),
  ShortDecimalBlanks = static_cast<char>(VectorReader::ShortDecimalBlanks),
  LongDecimal = static_cast<char>(VectorReader::LongDecimal),
  AnyForm = static_cast<char>(VectorReader::AnyForm),
  AnyFormBlanks = static_cast<char>(VectorReader::AnyFormBlanks),
  ShortDecimalPairs,
  ShortDecimalLate,
  ByColumn,
  Plain
};

#if defined(__x86_64__)
using number_scan::VectorConstants;
#else
struct VectorConstants {};
#endif

template <Fields kFields>
constexpr bool kDefersFields =
    kFields == Fields::ShortDecimalLate || kFields == Fields::ShortDecimalBlanks;

template <Fields kFields>
bool readNumberField(const Reader& reader, std::size_t column, const char* p, const char* end,
                     double& value, DeferredField* deferred, std::size_t& deferredCount,
                     const VectorConstants& constants) {
#if defined(__x86_64__)
  if constexpr (kDefersFields<kFields>) {
    // Written whether or not it counts, as a branch here would mispredict on every other form.
    deferred[deferredCount] = {p, end, &value};
    deferredCount += !number_scan::readShortDecimalOnly<kFields == Fields::ShortDecimalBlanks>(
        p, end, value, constants);
    return true;
  } else if constexpr (kFields == Fields::ByColumn) {
    return number_scan::readWith(reader.forms[column], p, end, value, constants);
  } else if constexpr (kFields == Fields::ShortDecimalPairs) {
    return number_scan::readShortDecimal<false>(p, end, value, constants);
  } else if constexpr (kFields != Fields::Plain) {
    // A constant reader, whose dispatch the compiler takes away.
    return number_scan::readWith(static_cast<VectorReader>(kFields), p, end, value, constants);
  }
#endif
  static_cast<void>(reader);
  static_cast<void>(column);
  static_cast<void>(deferred);
  static_cast<void>(deferredCount);
  static_cast<void>(constants);
  return number_scan::readPlainField(p, end, value);
}

#if defined(__x86_64__)
// Whether the line loop reads the fields two at a time, the last two of a line too for the long
// decimals.
template <Fields kFields>
constexpr bool kReadsPairs = kFields == Fields::ShortDecimalPairs || kFields == Fields::LongDecimal;

template <Fields kFields>
bool readTwoFields(const char* p0, const char* end0, const char* p1, const char* end1,
                   double& value0, double& value1, const VectorConstants& constants) {
  if constexpr (kFields == Fields::LongDecimal) {
    return number_scan::readTwoLongDecimals(p0, end0, p1, end1, value0, value1, constants);
  } else {
    return number_scan::readTwoShortDecimals(p0, end0, p1, end1, value0, value1, constants);
  }
}
#endif

// The separators (',' and '\n') ahead of a place in the window, found 64 bytes at a time, so
// that the fields of a line are delimited without reading them one after the other.
struct SeparatorCursor {
  const char* base;
  std::uint64_t bits;  // bit i: base[i] is a separator not handed out yet
};

#if defined(__x86_64__)
// Bit i set when p[i] is a separator, for i from 0 to 31.
[[VELOPLOT_AVX2]] std::uint64_t separatorBitsOf32(const char* p) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i found = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(',')),
                                        _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(found));
}
#endif

// Bit i set when p[i] is a separator, for i from 0 to 63.
template <Fields kFields>
std::uint64_t separatorBits(const char* p) {
#if defined(__x86_64__)
  if constexpr (kFields != Fields::Plain)
    return separatorBitsOf32(p) | separatorBitsOf32(p + 32) << 32;
#endif
  std::uint64_t bits = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i found = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')),
                                       _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
    bits |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(found))} << (16 * k);
  }
  return bits;
}

template <Fields kFields>
SeparatorCursor separatorsAt(const char* p) {
  return {p, separatorBits<kFields>(p)};
}

// The next separator; the caller knows that one lies ahead.
template <Fields kFields>
const char* nextSeparator(SeparatorCursor& cursor) {
  while (cursor.bits == 0) {
    cursor.base += 64;
    cursor.bits = separatorBits<kFields>(cursor.base);
  }
  const char* const separator = cursor.base + std::countr_zero(cursor.bits);
  cursor.bits &= cursor.bits - 1;
  return separator;
}

// Hands out no separator up to `separator`, which lies at or behind the cursor's next one. Kept in
// step this way, the cursor costs the groups of eight less than finding the separators anew
// behind them would (1.2x faster on a table of 64 short columns).
template <Fields kFields>
void passSeparatorsTo(SeparatorCursor& cursor, const char* separator) {
  while (separator - cursor.base >= 64) {
    cursor.base += 64;
    cursor.bits = separatorBits<kFields>(cursor.base);
  }
  cursor.bits &= ~std::uint64_t{0} << (separator - cursor.base) << 1;
}

// The end of a line's last field: a CR before the line feed ends the line with it.
inline const char* lastFieldEnd(const char* lineFeed) {
  return lineFeed - (lineFeed[-1] == '\r');
}

// A line of n numbers, the common case, read field by field between its n separators (short
// decimals two at a time, or eight at a time with kEights); every field is read before the line
// is judged, so that no branch waits on one field's form. Returns the line's line feed, or nullptr
// for a line with anything else (a blank line, an empty field, a fault), which the plain algorithm
// then reads again from its start, with the cursor set anew. The cursor never passes the line's
// line feed, so it stays within the window.
template <Fields kFields, bool kEights>
const char* readPlainLine(const char* p, SeparatorCursor& cursor, const Reader& reader,
                          std::size_t columnCount, double* const* out, std::size_t row,
                          DeferredField* deferred, std::size_t& deferredCount,
                          const VectorConstants& constants) {
  bool plain = true;
  const std::size_t last = columnCount - 1;
  std::size_t j = 0;
#if defined(__x86_64__)
  if constexpr (kEights) {
    for (; j + 8 <= columnCount; j += 8) {
      const bool endsLine = j + 8 == columnCount;
      const char* const separator =
          number_scan::readEightShortNumbers<kFields == Fields::ShortInteger>(p, endsLine, out + j,
                                                                              row);
      if (separator == nullptr) break;
      passSeparatorsTo<kFields>(cursor, separator);
      if (endsLine) return separator;
      p = separator + 1;
    }
  }
  if constexpr (kReadsPairs<kFields>) {
    for (; j + 2 <= last; j += 2) {
      const char* const comma = nextSeparator<kFields>(cursor);
      if (*comma == '\n') return nullptr;
      const char* const nextComma = nextSeparator<kFields>(cursor);
      if (*nextComma == '\n') return nullptr;
      plain &= readTwoFields<kFields>(p, comma, comma + 1, nextComma, out[j][row], out[j + 1][row],
                                      constants);
      p = nextComma + 1;
    }
  }
  if constexpr (kFields == Fields::LongDecimal) {
    if (j + 2 == columnCount) {
      const char* const comma = nextSeparator<kFields>(cursor);
      if (*comma == '\n') return nullptr;
      const char* const lineFeed = nextSeparator<kFields>(cursor);
      const char* const end = lastFieldEnd(lineFeed);
      plain &=
          readTwoFields<kFields>(p, comma, comma + 1, end, out[j][row], out[j + 1][row], constants);
      return plain && *lineFeed == '\n' ? lineFeed : nullptr;
    }
  }
#endif
  for (; j != last; ++j) {
    const char* const comma = nextSeparator<kFields>(cursor);
    if (*comma == '\n') return nullptr;
    plain &= readNumberField<kFields>(reader, j, p, comma, out[j][row], deferred, deferredCount,
                                      constants);
    p = comma + 1;
  }
  const char* const lineFeed = nextSeparator<kFields>(cursor);
  const char* const end = lastFieldEnd(lineFeed);
  plain &= readNumberField<kFields>(reader, last, p, end, out[last][row], deferred, deferredCount,
                                    constants);
  return plain && *lineFeed == '\n' ? lineFeed : nullptr;
}

#if defined(__x86_64__)
// Reads the listed fields with the reader of any form until one is no number it takes; returns
// how many it read. A function of its own, called once a stage: compiled into the line loop, that
// reader's steps made the loop's own code worse, and mixed and crlf parse 1.05-1.07x faster apart.
template <bool kBlanks>
[[gnu::noinline, gnu::flatten, VELOPLOT_AVX2]] std::size_t readRefusedFields(
    const DeferredField* fields, std::size_t count) {
  const VectorConstants constants = number_scan::vectorConstants();
  for (std::size_t i = 0; i != count; ++i) {
    const DeferredField& field = fields[i];
    if (!number_scan::readAnyForm<kBlanks>(field.start, field.end, *field.value, constants))
        [[unlikely]] {
      return i;
    }
  }
  return count;
}
#endif

// Reads the fields that the short decimal reader refused, in the order of the lines, with the
// reader of any form. Left for the end of a stage, they cost one mispredicted branch there instead
// of one each: mixed and crlf parse 1.04-1.06x faster, blanks 1.04x. Where one is no number that
// reader takes, the rows from its line on are taken back and the line is returned, for the plain
// algorithm to read again, with the row it would have been; else nullptr.
template <Fields kFields>
const char* readDeferredFields(const Reader& reader, std::size_t& deferredCount,
                               const char* firstLine, std::size_t& row) {
#if defined(__x86_64__)
  if constexpr (kDefersFields<kFields>) {
    const std::size_t count = std::exchange(deferredCount, 0);
    const std::size_t read =
        readRefusedFields<kFields == Fields::ShortDecimalBlanks>(reader.deferred.data(), count);
    if (read == count) return nullptr;
    const DeferredField& field = reader.deferred[read];
    const Rows& rows = reader.rows;
    const auto staged = static_cast<std::size_t>(field.value - rows.stage.data());
    row = rows.stageStart + staged % rows.stageRows;
    const char* line = field.start;
    while (line != firstLine && line[-1] != '\n') --line;
    return line;
  }
#endif
  static_cast<void>(reader);
  static_cast<void>(deferredCount);
  static_cast<void>(firstLine);
  static_cast<void>(row);
  return nullptr;
}

#if defined(__x86_64__)
constexpr std::size_t kMostLinesAlone = 1024;

// Reads a block of lines from `p` into the stage, from `first`, the place of its first row in
// column 0; returns its last line feed, or nullptr where readShortFields does not take a group of
// the block or its separators reach `stop` (what it wrote is then read again). So a group starts
// at or before `stop`, and its load stays within the window's padding.
template <Fields kFields>
[[VELOPLOT_AVX512]] const char* readLineBlock(const char* p, const char* stop,
                                              const LineBlocks& blocks, double* first) {
  const std::size_t* places = blocks.places.data();
  for (std::size_t group = 0; group != blocks.groups; ++group) {
    __m512d values;
    const char* const separator = number_scan::readShortFields<kFields == Fields::ShortInteger>(
        p, blocks.lineFeeds[group], values);
    if (separator == nullptr || separator >= stop) return nullptr;
    double stored[8];
    _mm512_storeu_pd(stored, values);
    for (const double value : stored) first[*places++] = value;
    p = separator + 1;
  }
  return p - 1;
}
#endif

// Reads plain lines from `p` up to `stop` until one is not; returns where that line starts.
template <Fields kFields, bool kEights>
const char* readPlainLines(const char* p, const char* stop, SeparatorCursor& cursor, Reader& reader,
                           DataTable& table, const VectorConstants& constants) {
  const std::size_t columnCount = table.columns.size();
  if (columnCount == 0) return p;
  Rows& rows = reader.rows;
  const std::size_t firstRow = rows.count;
  const char* const firstLine = p;
  std::size_t row = firstRow;
  DeferredField* const deferred = reader.deferred.data();
  std::size_t deferredCount = 0;
  std::int64_t emptyLines = 0;
  // Lines left to read one at a time before the next block, after a block that was not read: at
  // first a block's lines, twice as many after each block in turn that was not read, so that a
  // table whose lines no block takes (ended by CR LF, say) costs few attempts.
  std::size_t linesAlone = 0;
  std::size_t pause = reader.blocks.lines;
  while (p != stop) {
#if defined(__x86_64__)
    if constexpr (kEights) {
      const LineBlocks& blocks = reader.blocks;
      if (blocks.lines != 0 && linesAlone == 0 && rows.room - row >= blocks.lines) {
        const char* const lineFeed =
            readLineBlock<kFields>(p, stop, blocks, rows.out[0] + (row - rows.stageStart));
        if (lineFeed != nullptr) {
          p = lineFeed + 1;
          row += blocks.lines;
          pause = blocks.lines;
          if (row == rows.room) {
            rows.count = row;
            flushStageOutOfLine(reader, table);
          }
          continue;
        }
        linesAlone = pause;
        pause = std::min(2 * pause, kMostLinesAlone);
        cursor = separatorsAt<kFields>(p);
      }
      linesAlone -= linesAlone != 0;
    }
#endif
    const std::size_t deferredBefore = deferredCount;
    const char* const lineFeed =
        readPlainLine<kFields, kEights>(p, cursor, reader, columnCount, rows.out.data(),
                                        row - rows.stageStart, deferred, deferredCount, constants);
    if (lineFeed == nullptr) {
      deferredCount = deferredBefore;
      // An empty line, as blank lines are without their blanks, is passed over here rather than
      // by the plain algorithm, once the fields before it are read: the lines counted stay those
      // before any line taken back. The cursor has handed out its line feed.
      if (*p != '\n') break;
      if (const char* const line =
              readDeferredFields<kFields>(reader, deferredCount, firstLine, row)) {
        p = line;
        break;
      }
      ++p;
      ++emptyLines;
      continue;
    }
    p = lineFeed + 1;
    if (++row == rows.room) {
      if (const char* const line =
              readDeferredFields<kFields>(reader, deferredCount, firstLine, row)) {
        p = line;
        break;
      }
      rows.count = row;
      flushStageOutOfLine(reader, table);
    }
  }
  if (const char* const line = readDeferredFields<kFields>(reader, deferredCount, firstLine, row)) {
    p = line;
  }
  rows.count = row;
  reader.line += static_cast<std::int64_t>(row - firstRow) + emptyLines;
  return p;
}

#if defined(__x86_64__)
// The vector reader of each column, from the forms of its fields in the lines sampled at the
// start of this window and, weighing less, of the windows before (see fade). The short decimal
// reader costs least, and hands every other form to the reader of any form, which costs twice as
// much (the thresholds were set where a branch mispredicted on every such field, before they were
// read late, from a list, where every column takes that reader): up to about three fields in eight
// of other forms it is still the cheaper (a column of mixed forms, one in four or so other than
// short decimals, parses 1.07x to 1.15x faster than with the reader of any form alone; beyond about
// one in two, slower). A column with more other forms gets the reader of any form, or the long
// integer reader where at most one field in eight is other than an integer it takes, or the long
// decimal reader where most fields are longer than 16 bytes (it saves nothing on shorter ones) and
// at most one in four has another form, mostly an exponent, which it hands to the reader of any
// form (doubles in shortest form, one in six with an exponent, parse 1.08x faster; a third costs as
// much as it saves). Blanks around a number take a few more steps, made only where a sampled field
// has them. Short decimals, and columns of short integers beside them, are read in pairs where at
// most one sampled field in eight is longer than 8 bytes: a longer field sends both of its pair to
// the reader of one.
constexpr int kSampledLines = 64;
// Of a wide table, fewer lines, as many as make this many fields, but never fewer than
// kFewestSampledLines. Sampling took 5% of the reading of wide, whose 64 lines of 64 columns are
// 1.8% of a window's fields, where 64 lines of mixed's six are 0.4%; with 32 lines wide parses
// 1.03x faster.
constexpr std::size_t kSampledFields = 2048;
constexpr int kFewestSampledLines = 16;

void sampleField(const char* p, const char* end, SampledForms& forms) {
  const char* start = p;
  const char* stop = end;
  number_scan::trimBlanks(start, stop);
  forms.blanks += start != p || stop != end;
  const char* const digits = start + (start != stop && *start == '-');
  int points = 0;
  bool otherBytes = false;
  for (const char* c = digits; c != stop; ++c) {
    points += *c == '.';
    otherBytes |= *c != '.' && static_cast<unsigned char>(*c - '0') > 9;
  }
  forms.otherForms += stop - start > 15 || stop - digits - points < 1 || points > 1 || otherBytes;
  forms.otherThanIntegers += stop - digits < 1 || stop - digits > 19 || points > 0 || otherBytes;
  forms.otherThanLongDecimals +=
      stop - start > 32 || stop - digits - points < 1 || points > 1 || otherBytes;
  forms.decimals += points > 0 || stop - digits > 8;
  forms.overEightBytes += stop - start > 8;
  forms.overSixteenBytes += stop - start > 16;
}

VectorReader formOf(const SampledForms& sampled, int lines, bool blanksRemoved) {
  const bool blanks = sampled.blanks > 0 && !blanksRemoved;
  if (fieldReading == FieldReading::AnyForm) {
    return blanks ? VectorReader::AnyFormBlanks : VectorReader::AnyForm;
  }
  const bool mostlyShortDecimals = sampled.otherForms * 8 <= lines * 3;
  if (blanks) {
    return mostlyShortDecimals ? VectorReader::ShortDecimalBlanks : VectorReader::AnyFormBlanks;
  }
  if (sampled.otherForms * 8 > lines) {
    if (sampled.otherThanIntegers * 8 <= lines) return VectorReader::LongInteger;
    if (sampled.otherThanLongDecimals * 4 <= lines && sampled.overSixteenBytes * 2 > lines) {
      return VectorReader::LongDecimal;
    }
    if (!mostlyShortDecimals) return VectorReader::AnyForm;
  }
  return sampled.otherForms + sampled.decimals == 0 ? VectorReader::ShortInteger
                                                    : VectorReader::ShortDecimal;
}

// The sampled fields of all columns longer than 8 bytes.
std::size_t overEightBytes(const std::vector<SampledForms>& sampled) {
  std::size_t over = 0;
  for (const SampledForms& forms : sampled) over += static_cast<std::size_t>(forms.overEightBytes);
  return over;
}

bool fewOverEightBytes(const std::vector<SampledForms>& sampled, int lines) {
  return 8 * overEightBytes(sampled) <= sampled.size() * static_cast<std::size_t>(lines);
}

// Each window's samples weigh 3/4 of the next window's, so that the readers follow the forms of
// about seven windows' samples, where a window's 64 lines alone let them stray: in a table whose
// columns hold about one field in four of other forms (mixed), one window in five drew the reader
// of any form for some column and was read with each column's own reader, a dispatch at every
// field (a table of one form reads 5% slower so). Weighed, mixed, crlf and blanks parse 1.6-1.9%
// faster, and no window of the corpus is read column by column.
void fade(SampledForms& forms) {
  for (int* count :
       {&forms.otherForms, &forms.otherThanIntegers, &forms.otherThanLongDecimals, &forms.decimals,
        &forms.overEightBytes, &forms.overSixteenBytes, &forms.blanks}) {
    *count = *count * 3 / 4;
  }
}

// The line loop's readers, from those of the columns.
Fields lineReaders(const Reader& reader) {
  const std::vector<VectorReader>& forms = reader.forms;
  if (forms.empty()) return Fields::ByColumn;
  const auto sameForm = [&](VectorReader form) { return form == forms[0]; };
  const bool oneForm = std::all_of(forms.begin(), forms.end(), sameForm);
  if (oneForm && forms[0] != VectorReader::ShortDecimal) return static_cast<Fields>(forms[0]);
  // Columns of short integers beside those of short decimals, as in many tables, are read as short
  // decimals too, which that reader also takes, so that the pairs serve every column: a table of
  // 16 short columns, every other one of integers, parses 1.7x faster than with each column's own.
  const auto shortForm = [](VectorReader form) {
    return form == VectorReader::ShortInteger || form == VectorReader::ShortDecimal;
  };
  const std::vector<SampledForms>& sampled = reader.sampledForms;
  if (std::all_of(forms.begin(), forms.end(), shortForm) &&
      fewOverEightBytes(sampled, reader.sampledLines)) {
    return Fields::ShortDecimalPairs;
  }
  if (!oneForm) return Fields::ByColumn;
  // Where every field has the form, the line loop keeps no list of the others.
  const auto otherForms = [](const SampledForms& forms) { return forms.otherForms > 0; };
  return std::any_of(sampled.begin(), sampled.end(), otherForms) ? Fields::ShortDecimalLate
                                                                 : Fields::ShortDecimal;
}

// The readers' mix for the window's lines, and whether they read the lines without the blanks
// around their fields (see readDataLinesWithoutBlanks), which costs less than the readers'
// variants that find the number between the blanks.
struct FieldChoice {
  Fields fields;
  bool withoutBlanks;
};

FieldChoice chooseFieldReaders(const char* p, const char* stop, Reader& reader,
                               std::size_t columnCount) {
  std::vector<SampledForms>& sampled = reader.sampledForms;
  sampled.resize(columnCount);
  for (SampledForms& forms : sampled) fade(forms);
  int& lines = reader.sampledLines;
  lines = lines * 3 / 4;
  const int linesToSample =
      std::clamp(static_cast<int>(kSampledFields / std::max<std::size_t>(columnCount, 1)),
                 kFewestSampledLines, kSampledLines);
  for (int sampledHere = 0; sampledHere < linesToSample && p != stop; ++sampledHere, ++lines) {
    const char* const lineEnd = static_cast<const char*>(std::memchr(p, '\n', stop - p));
    for (std::size_t j = 0; j < columnCount && p < lineEnd; ++j) {
      const char* comma = static_cast<const char*>(std::memchr(p, ',', lineEnd - p));
      if (comma == nullptr) comma = lineEnd - (lineEnd[-1] == '\r');
      sampleField(p, comma, sampled[j]);
      p = comma + 1;
    }
    p = lineEnd + 1;
  }
  const auto hasBlanks = [](const SampledForms& forms) { return forms.blanks > 0; };
  // The removal takes the same instructions as the reader of eight fields.
  const bool withoutBlanks = eightFields && std::any_of(sampled.begin(), sampled.end(), hasBlanks);
  reader.forms.resize(columnCount);
  for (std::size_t j = 0; j < columnCount; ++j) {
    reader.forms[j] = formOf(sampled[j], lines, withoutBlanks);
  }
  return {lineReaders(reader), withoutBlanks};
}
#endif

// Reads the whole lines [p, stop); nullptr after a fault.
template <Fields kFields, bool kEights>
const char* readWholeLines(const char* p, const char* stop, Reader& reader, DataTable& table,
                           Fault& fault) {
#if defined(__x86_64__)
  const VectorConstants constants = number_scan::vectorConstants();
#else
  const VectorConstants constants;
#endif
  SeparatorCursor cursor = separatorsAt<kFields>(p);
  for (;;) {
    p = readPlainLines<kFields, kEights>(p, stop, cursor, reader, table, constants);
    if (p == stop) break;
    const char* const lineEnd = static_cast<const char*>(std::memchr(p, '\n', stop - p));
    fault = readLineSlowly(p, lineEnd, false, reader, table);
    if (fault != Fault::None) return nullptr;
    p = lineEnd + 1;
    cursor = separatorsAt<kFields>(p);
  }
  return p;
}

// Once the window's whole lines are read: more to come, or the input's last line if it has no
// line feed.
Progress readLastLine(Window& window, Reader& reader, DataTable& table, Fault& fault) {
  if (!window.final) return Progress::NeedMore;
  fault = readLineSlowly(window.pos, window.end, true, reader, table);
  window.pos = window.end;
  return fault == Fault::None ? Progress::Finished : Progress::Failed;
}

// Reads the whole lines of the window; a line cut by the window's end waits for the next block.
template <Fields kFields, bool kEights = false>
Progress readDataLinesWith(Window& window, Reader& reader, DataTable& table, Fault& fault) {
  if (const char* const last = lastLineFeed(window.pos, window.end)) {
    const char* const stop = last + 1;
    if (readWholeLines<kFields, kEights>(window.pos, stop, reader, table, fault) == nullptr) {
      return Progress::Failed;
    }
    window.pos = stop;
  }
  return readLastLine(window, reader, table, fault);
}

// Each instance has its field readers and everything the line loop calls, but for the rare
// out-of-line work, compiled into one function.
[[gnu::flatten]] Progress readDataLinesPlain(Window& window, Reader& reader, DataTable& table,
                                             Fault& fault) {
  return readDataLinesWith<Fields::Plain>(window, reader, table, fault);
}

#if defined(__x86_64__)
template <Fields kFields>
[[gnu::flatten, VELOPLOT_AVX2]] Progress readDataLinesVector(Window& window, Reader& reader,
                                                             DataTable& table, Fault& fault) {
  return readDataLinesWith<kFields>(window, reader, table, fault);
}

// The same, eight fields at a time where a table of short numbers has eight columns or more.
template <Fields kFields>
[[gnu::flatten, VELOPLOT_AVX512]] Progress readDataLinesEights(Window& window, Reader& reader,
                                                               DataTable& table, Fault& fault) {
  return readDataLinesWith<kFields, true>(window, reader, table, fault);
}
#endif

#if defined(__x86_64__)
// The window's lines, read with `fields`.
Progress readDataLinesAs(Fields fields, Window& window, Reader& reader, DataTable& table,
                         Fault& fault) {
  // Blocks of lines, which serve tables of fewer than eight columns, pay only where no sampled
  // field is longer than 8 bytes: one longer field sends its whole block line by line, and a table
  // of three columns of short decimals, one field in sixteen longer, parsed 0.94x as fast with
  // them.
  if (eightFields && (table.columns.size() >= 8 || overEightBytes(reader.sampledForms) == 0)) {
    if (fields == Fields::ShortInteger) {
      return readDataLinesEights<Fields::ShortInteger>(window, reader, table, fault);
    }
    if (fields == Fields::ShortDecimalPairs) {
      return readDataLinesEights<Fields::ShortDecimalPairs>(window, reader, table, fault);
    }
  }
  switch (fields) {
    case Fields::ShortInteger:
      return readDataLinesVector<Fields::ShortInteger>(window, reader, table, fault);
    case Fields::LongInteger:
      return readDataLinesVector<Fields::LongInteger>(window, reader, table, fault);
    case Fields::ShortDecimal:
      return readDataLinesVector<Fields::ShortDecimal>(window, reader, table, fault);
    case Fields::ShortDecimalPairs:
      return readDataLinesVector<Fields::ShortDecimalPairs>(window, reader, table, fault);
    case Fields::ShortDecimalLate:
      return readDataLinesVector<Fields::ShortDecimalLate>(window, reader, table, fault);
    case Fields::ShortDecimalBlanks:
      return readDataLinesVector<Fields::ShortDecimalBlanks>(window, reader, table, fault);
    case Fields::LongDecimal:
      return readDataLinesVector<Fields::LongDecimal>(window, reader, table, fault);
    case Fields::AnyForm:
      return readDataLinesVector<Fields::AnyForm>(window, reader, table, fault);
    case Fields::AnyFormBlanks:
      return readDataLinesVector<Fields::AnyFormBlanks>(window, reader, table, fault);
    default:
      return readDataLinesVector<Fields::ByColumn>(window, reader, table, fault);
  }
}

// Whole lines copied at a time, few enough that the copy is still in the second-level cache when
// it is read; smaller pieces cost more in the reading's start than they save (pieces of 16 KB
// parsed blanks 1.04x slower).
constexpr std::size_t kPieceBytes = std::size_t{128} << 10;

// Reads the window's whole lines [window.pos, stop) a piece at a time, each copied without the
// blanks around its fields and read with `fields`, readers of bare numbers, as a window of its
// own: a table with blanks beside its commas parses as fast as one without them. The copy has
// the same lines, numbers and faults (see blanks::removeFieldBlanks), so line numbers and
// messages stay the same.
Progress readDataLinesWithoutBlanks(Fields fields, Window& window, const char* stop, Reader& reader,
                                    DataTable& table, Fault& fault) {
  for (const char* p = window.pos; p != stop;) {
    const char* end = stop;
    if (static_cast<std::size_t>(stop - p) > kPieceBytes) {
      const char* const last = lastLineFeed(p, p + kPieceBytes);
      end = (last != nullptr ? last
                             : static_cast<const char*>(
                                   std::memchr(p + kPieceBytes, '\n', stop - p - kPieceBytes))) +
            1;
    }
    const auto size = static_cast<std::size_t>(end - p);
    if (reader.withoutBlanks.size() < kFrontPaddingBytes + size + kPaddingBytes) {
      reader.withoutBlanks.resize(kFrontPaddingBytes + size + kPaddingBytes);
    }
    char* const start = reader.withoutBlanks.data() + kFrontPaddingBytes;
    char* const copyEnd = blanks::removeFieldBlanks(p, end, start);
    std::memset(copyEnd, 0, kPaddingBytes);
    Window piece{start, copyEnd, false};
    if (readDataLinesAs(fields, piece, reader, table, fault) == Progress::Failed) {
      return Progress::Failed;
    }
    p = end;
  }
  window.pos = stop;
  return readLastLine(window, reader, table, fault);
}
#endif

Progress readDataLines(Window& window, Reader& reader, DataTable& table, Fault& fault) {
#if defined(__x86_64__)
  const char* const last = lastLineFeed(window.pos, window.end);
  if (vectorFields && last != nullptr) {
    const FieldChoice choice =
        chooseFieldReaders(window.pos, last + 1, reader, table.columns.size());
    if (choice.withoutBlanks) {
      return readDataLinesWithoutBlanks(choice.fields, window, last + 1, reader, table, fault);
    }
    return readDataLinesAs(choice.fields, window, reader, table, fault);
  }
#endif
  return readDataLinesPlain(window, reader, table, fault);
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

// The staged rows in the columns, and the last, perhaps shorter, block's ranges.
void finishTable(Reader& reader, DataTable& table) {
  flushStage(reader, table);
  const Rows& rows = reader.rows;
  if (rows.count == rows.blockStart) return;
  for (std::size_t j = 0; j < table.columns.size(); ++j) {
    table.blockRanges[j].push_back(
        rangeOf(table.columns[j].data() + rows.blockStart, rows.count - rows.blockStart));
  }
}

// The columns as a reader storing value by value leaves them at the fault: the complete rows,
// then the values of the failing line that came before the fault.
void keepValuesBeforeFault(Reader& reader, DataTable& table) {
  flushStage(reader, table);
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
  makeStage(state.reader.rows, table.columns.size());
  state.reader.blocks = lineBlocks(table.columns.size(), state.reader.rows.stageRows);
  state.reader.deferred.resize(state.reader.rows.stage.size());
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
  vectorFields = reading != FieldReading::Baseline && processorHasVectorFields();
  eightFields = reading == FieldReading::Fastest && processorHasEightFields();
}

void trimBlanks(std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return;
  text.erase(text.find_last_not_of(" \t") + 1);
  text.erase(0, first);
}
