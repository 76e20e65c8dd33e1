// Blanks around fields removed sixty-four bytes at a time with AVX-512, so that a table written
// with blanks beside its commas is read by the readers of bare numbers.
//
// removeFieldBlanks copies whole lines without the runs of spaces and tabs that touch a field's
// edge: a run behind a comma, a line feed or the start of the lines, and a run before a comma, a
// line feed or a CR LF, unless a CR stands before that run. What is left reads exactly as the
// lines did: a number ends at the first byte that cannot continue it, a blank or a separator
// alike, and the blanks that stay (inside a field, behind a CR) keep apart what they kept apart,
// among them a CR from the line feed behind it, which would otherwise end the line with it.
//
// Contract: [begin, end) is whole lines, `end` just behind a line feed; 64 bytes behind `end`
// are readable. `out` has room for end - begin + 64 bytes. Returns the end of the copy. Only for
// processors with AVX-512 F, BW, VBMI, VBMI2 and BMI2, which the callers check first
// (processorHasEightFieldReader).
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "data/number_scan_avx512.h"

namespace blanks {

// The kinds of 64 bytes that the removal asks about, one bit a byte, of the `valid` bytes only.
// The compares themselves limit them and the mask registers join the blanks, so that fewer masks
// move to general registers (the removal runs 1.05x faster).
struct BlockKinds {
  std::uint64_t blanks, commas, lineFeeds, returns;
};

[[VELOPLOT_AVX512, gnu::always_inline]] inline BlockKinds blockKinds(__m512i bytes,
                                                                     std::uint64_t valid) {
  const __mmask64 spaces = _mm512_mask_cmpeq_epi8_mask(valid, bytes, _mm512_set1_epi8(' '));
  const __mmask64 tabs = _mm512_mask_cmpeq_epi8_mask(valid, bytes, _mm512_set1_epi8('\t'));
  return {_cvtmask64_u64(_kor_mask64(spaces, tabs)),
          _mm512_mask_cmpeq_epi8_mask(valid, bytes, _mm512_set1_epi8(',')),
          _mm512_mask_cmpeq_epi8_mask(valid, bytes, _mm512_set1_epi8('\n')),
          _mm512_mask_cmpeq_epi8_mask(valid, bytes, _mm512_set1_epi8('\r'))};
}

// The runs of blanks that follow a byte of `after` (bit i - 1 for a run from bit i), and the
// run going on at bit 0 where `carry` (0 or 1) says that one came in: the carry of the addition
// runs through each such run and stops behind it. `carry` comes out 1 where such a run reaches
// bit 63, read from the runs rather than from the addition's flag, which GCC kept on the stack: a
// byte stored and loaded again at every block.
[[VELOPLOT_AVX512, gnu::always_inline]] inline std::uint64_t runsBehind(std::uint64_t blanks,
                                                                        std::uint64_t after,
                                                                        std::uint64_t& carry) {
  const std::uint64_t runs = blanks & ~(blanks + (blanks & (after << 1)) + carry);
  carry = runs >> 63;
  return runs;
}

// The first `left` of 64 bytes, all where at least 64 are left.
[[VELOPLOT_AVX512, gnu::always_inline]] inline std::uint64_t validBytes(std::size_t left) {
  return left >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << left) - 1;
}

// Whether the first byte at or behind `p` that is no blank ends a field: a comma, a line feed or
// a CR LF.
inline bool blanksEndField(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return *p == ',' || *p == '\n' || (*p == '\r' && p[1] == '\n');
}

// The runs of blanks that a separator follows. Each run's start, added to its blanks, carries to
// the byte behind it, so that the runs' starts and the bytes behind them come in the same order;
// of the runs behind which stands a separator, the starts, subtracted from those separators,
// leave the runs' bytes. The run that reaches bit 63 carries out of the word instead, and counts
// where `continues` is 1: the blanks behind it, in the next block, end at a separator.
[[VELOPLOT_AVX512, gnu::always_inline]] inline std::uint64_t runsBefore(std::uint64_t blanks,
                                                                        std::uint64_t separators,
                                                                        std::uint64_t continues) {
  const std::uint64_t starts = blanks & ~(blanks << 1);
  const std::uint64_t behind = blanks + starts;
  const std::uint64_t ended = _pext_u64(separators, behind) | continues << std::popcount(behind);
  return (behind & separators) - _pdep_u64(ended, starts);
}

[[VELOPLOT_AVX512]] inline char* removeFieldBlanks(const char* begin, const char* end, char* out) {
  const auto size = static_cast<std::size_t>(end - begin);
  std::uint64_t leadingCarry = 1;
  std::uint64_t returnCarry = 0;
  for (std::size_t at = 0; at < size; at += 64) {
    // Asked for ahead: each piece starts a new stream, which the processor's own prefetcher
    // takes up late (blanks parses 1.02x faster).
    __builtin_prefetch(begin + at + 2048);
    const __m512i bytes = _mm512_loadu_si512(begin + at);
    const std::uint64_t valid = validBytes(size - at);
    const BlockKinds kinds = blockKinds(bytes, valid);
    // Where the block ends in blanks or a CR, the bytes of the next block decide whether they
    // end a field or a line. Behind the last block, which ends in a line feed, neither is asked.
    const char* const next = begin + at + 64;
    std::uint64_t continues = 0;
    if (kinds.blanks >> 63) continues = blanksEndField(next);
    // Line ends other than the line feeds, and runs of blanks that keep their bytes behind a CR,
    // only where the block holds a CR or such a run comes in: most tables have no CR, and their
    // blanks parse 1.02-1.03x faster without these steps.
    std::uint64_t lineEnds = kinds.lineFeeds;
    std::uint64_t behindReturn = 0;
    if ((kinds.returns | returnCarry) != 0) [[unlikely]] {
      const std::uint64_t lastReturnEndsLine = (kinds.returns >> 63) & (*next == '\n');
      lineEnds |= kinds.returns & ((kinds.lineFeeds >> 1) | lastReturnEndsLine << 63);
      behindReturn = runsBehind(kinds.blanks, kinds.returns, returnCarry);
      returnCarry |= kinds.returns >> 63;
    }
    const std::uint64_t trailing = runsBefore(kinds.blanks, kinds.commas | lineEnds, continues);
    // The runs behind a separator or the start, and those behind a CR, which keep their bytes.
    const std::uint64_t separators = kinds.commas | kinds.lineFeeds;
    const std::uint64_t leading = runsBehind(kinds.blanks, separators, leadingCarry);
    const std::uint64_t kept = valid & ~(leading | (trailing & ~behindReturn));
    leadingCarry |= separators >> 63;
    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, bytes));
    out += std::popcount(kept);
  }
  return out;
}

}  // namespace blanks

#endif
