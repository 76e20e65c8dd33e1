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
// are readable. `out` has room for end - begin + 64 bytes, and `trailing` for
// (end - begin) / 64 + 1 masks. Returns the end of the copy. Only for processors with AVX-512 F,
// BW, VBMI and VBMI2, which the callers check first (processorHasEightFieldReader).
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "data/number_scan_avx512.h"

namespace blanks {

// The kinds of 64 bytes that the removal asks about, one bit a byte.
struct BlockKinds {
  std::uint64_t blanks, commas, lineFeeds, returns;
};

[[VELOPLOT_AVX512, gnu::always_inline]] inline BlockKinds blockKinds(__m512i bytes,
                                                                     std::uint64_t valid) {
  const std::uint64_t spaces = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(' '));
  const std::uint64_t tabs = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\t'));
  return {(spaces | tabs) & valid, _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(',')) & valid,
          _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\n')) & valid,
          _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\r')) & valid};
}

// The runs of blanks that follow a byte of `after` (bit i - 1 for a run from bit i), and the
// run going on at bit 0 where `carry` says that one came in: the carry of the addition runs
// through each such run and stops behind it. `carry` comes out set where a run reaches bit 63.
[[VELOPLOT_AVX512, gnu::always_inline]] inline std::uint64_t runsBehind(std::uint64_t blanks,
                                                                        std::uint64_t after,
                                                                        unsigned char& carry) {
  unsigned long long sum;
  carry = _addcarry_u64(carry, blanks, blanks & (after << 1), &sum);
  return blanks & ~sum;
}

// The 64 bytes, the last first.
[[VELOPLOT_AVX512, gnu::always_inline]] inline __m512i reversed(__m512i bytes) {
  const __m512i lastFirst = _mm512_set_epi8(
      0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
      26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,
      49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63);
  return _mm512_maskz_permutexvar_epi8(~0ULL, lastFirst, bytes);
}

// The mask of 64 bytes, the last first.
[[VELOPLOT_AVX512, gnu::always_inline]] inline std::uint64_t reversedMask(std::uint64_t mask) {
  return _mm512_movepi8_mask(reversed(_mm512_movm_epi8(mask)));
}

// The first `left` of 64 bytes, all where at least 64 are left.
[[VELOPLOT_AVX512, gnu::always_inline]] inline std::uint64_t validBytes(std::size_t left) {
  return left >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << left) - 1;
}

[[VELOPLOT_AVX512]] inline char* removeFieldBlanks(const char* begin, const char* end, char* out,
                                                   std::uint64_t* trailing) {
  const auto size = static_cast<std::size_t>(end - begin);
  const std::size_t blocks = (size + 63) / 64;
  // From the last block to the first, the runs before a separator: in bytes taken last first,
  // the runs behind one, so that the carry runs the right way. A CR counts where a line feed
  // follows it, the bit below it.
  unsigned char carry = 0;
  std::uint64_t lineFeedBelow = 0;
  for (std::size_t block = blocks; block-- != 0;) {
    __builtin_prefetch(begin + 64 * block - 1024);
    const __m512i bytes = reversed(_mm512_loadu_si512(begin + 64 * block));
    const std::size_t left = size - 64 * block;
    const BlockKinds kinds =
        blockKinds(bytes, left >= 64 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} >> left));
    const std::uint64_t lineEnds =
        kinds.lineFeeds | (kinds.returns & ((kinds.lineFeeds << 1) | lineFeedBelow));
    const std::uint64_t separators = kinds.commas | lineEnds;
    const std::uint64_t runs = runsBehind(kinds.blanks, separators, carry);
    carry |= static_cast<unsigned char>(separators >> 63);
    lineFeedBelow = kinds.lineFeeds >> 63;
    trailing[block] = reversedMask(runs);
  }
  // From the first block to the last, the runs behind a separator or the start, and those
  // behind a CR, which keep their bytes; then the copy of the rest.
  unsigned char leadingCarry = 1;
  unsigned char returnCarry = 0;
  for (std::size_t block = 0; block != blocks; ++block) {
    const __m512i bytes = _mm512_loadu_si512(begin + 64 * block);
    const std::uint64_t valid = validBytes(size - 64 * block);
    const BlockKinds kinds = blockKinds(bytes, valid);
    const std::uint64_t separators = kinds.commas | kinds.lineFeeds;
    const std::uint64_t leading = runsBehind(kinds.blanks, separators, leadingCarry);
    const std::uint64_t behindReturn = runsBehind(kinds.blanks, kinds.returns, returnCarry);
    leadingCarry |= static_cast<unsigned char>(separators >> 63);
    returnCarry |= static_cast<unsigned char>(kinds.returns >> 63);
    const std::uint64_t kept = valid & ~(leading | (trailing[block] & ~behindReturn));
    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, bytes));
    out += std::popcount(kept);
  }
  return out;
}

}  // namespace blanks

#endif
