// Eight short number fields read at once with AVX-512 on 64-bit processors: the bytes of the
// eight fields are gathered from one 64-byte load into eight 8-byte lanes, right-aligned, with
// one byte permutation, the point is closed with a second one, and the digits of all eight are
// summed and divided in one pass. A table of many short columns is read with a handful of steps
// a field instead of a handful a byte.
//
// readEightShortNumbers takes exactly what readTwoShortDecimals takes in each field (an optional
// '-', digits and at most one point, not the first byte, 1 to 8 bytes) and gives the same bits:
// the digits divided by the signed power of ten, one rounding; with kIntegers, exactly what
// readShortInteger takes of up to 8 bytes, with its bits, in fewer steps. Any other field,
// separators other than seven commas and a comma or a line feed, or eight fields that with their
// separators take more than 64 bytes leave everything untouched for the caller's readers of one
// or two fields. readShortFields, for callers that store the values themselves, takes line feeds
// at any given places among the eight separators: eight fields of several short lines.
//
// Contract: reads 64 bytes from the first field's start; only for processors with AVX-512 F,
// BW, DQ, VL, VBMI and VBMI2, which the callers check first and compile for with
// VELOPLOT_AVX512.
#pragma once

#if defined(__x86_64__)

#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#define VELOPLOT_AVX512                                                         \
  gnu::target(                                                                  \
      "avx2,bmi,bmi2,popcnt,fma,avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi," \
      "avx512vbmi2")

namespace number_scan {

// Whether this processor runs the readers below.
inline bool processorHasEightFieldReader() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2");
}

// Byte k of each 8-byte lane set, and so bit k of each 8-bit group of a byte mask.
constexpr std::uint64_t kLaneBytes = 0x0101010101010101;

// Each lane's first byte in a mask of bytes that run, in every lane, up to its last byte.
inline std::uint64_t firstOfRuns(std::uint64_t bytes) {
  return bytes & ~((bytes << 1) & ~kLaneBytes);
}

// The lanes with any byte of a byte mask, one bit a lane.
[[VELOPLOT_AVX512, gnu::always_inline]] inline __mmask8 lanesWith(std::uint64_t bytes) {
  const __m512i marks = _mm512_movm_epi8(bytes);
  return _mm512_test_epi64_mask(marks, marks);
}

// Where each byte of a lane comes from for its field to end at the lane's last byte, and the
// offset of the field's first byte, in every byte of the lane; from the offsets of each field's
// first byte and of its separator, one a lane.
struct FieldPlaces {
  __m512i from;
  __m512i first;
};

[[VELOPLOT_AVX512, gnu::always_inline]] inline FieldPlaces fieldPlaces(__m512i starts,
                                                                       __m512i ends) {
  // Every byte of a lane takes the lane's own value; `before` counts back from 8 for its first
  // byte to 1 for its last.
  const __m512i spread = _mm512_set_epi8(
      56, 56, 56, 56, 56, 56, 56, 56, 48, 48, 48, 48, 48, 48, 48, 48, 40, 40, 40, 40, 40, 40, 40,
      40, 32, 32, 32, 32, 32, 32, 32, 32, 24, 24, 24, 24, 24, 24, 24, 24, 16, 16, 16, 16, 16, 16,
      16, 16, 8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m512i before = _mm512_set1_epi64(static_cast<long long>(0xFFFEFDFCFBFAF9F8));
  return {_mm512_add_epi8(_mm512_maskz_permutexvar_epi8(~0ULL, spread, ends), before),
          _mm512_maskz_permutexvar_epi8(~0ULL, spread, starts)};
}

// The eight fields of `text`, right-aligned in their lanes; the bytes before a field are '0'.
// `shift` marks the bytes that take the byte before theirs. `fieldBytes` gets the mask of the
// fields' bytes.
[[VELOPLOT_AVX512, gnu::always_inline]] inline __m512i gatherFields(__m512i text,
                                                                    const FieldPlaces& places,
                                                                    std::uint64_t shift,
                                                                    std::uint64_t& fieldBytes) {
  const __m512i from = _mm512_mask_sub_epi8(places.from, shift, places.from, _mm512_set1_epi8(1));
  fieldBytes = _mm512_cmpge_epi8_mask(from, places.first);
  return _mm512_mask_permutexvar_epi8(_mm512_set1_epi8('0'), fieldBytes, from, text);
}

// The value of the digits in each lane, one a byte, the most significant first, zeros before them.
[[VELOPLOT_AVX512, gnu::always_inline]] inline __m512i digitsValue(__m512i digits) {
  const __m512i pairs = _mm512_maddubs_epi16(digits, _mm512_set1_epi16(0x010A));
  const __m512i quads = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010064));
  return _mm512_add_epi64(_mm512_maskz_mul_epu32(0xFF, quads, _mm512_set1_epi64(10000)),
                          _mm512_maskz_srli_epi64(0xFF, quads, 32));
}

// The values of the eight fields from `p`, one a lane: the eighth's separator, or nullptr. Bit k
// of `lineFeeds` says that the separator of field k is a line feed, where the others are commas.
// With kIntegers, only the fields of readShortInteger (an optional '-' and 1 to 8 digits), in
// fewer steps: no point to close and no division.
template <bool kIntegers>
[[VELOPLOT_AVX512, gnu::always_inline]] inline const char* readShortFields(const char* p,
                                                                           std::uint64_t lineFeeds,
                                                                           __m512d& values) {
  const __m512i text = _mm512_loadu_si512(p);
  const std::uint64_t textLineFeeds = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('\n'));
  const std::uint64_t separators =
      _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8(',')) | textLineFeeds;
  const std::uint64_t eighth = _pdep_u64(0x80, separators);
  if ((eighth == 0) | ((textLineFeeds & ((eighth << 1) - 1)) != _pdep_u64(lineFeeds, separators))) {
    return nullptr;
  }

  const __m512i offsets = _mm512_set_epi8(
      63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41,
      40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
      17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  const __m512i ends = _mm512_maskz_cvtepu8_epi64(
      0xFF,
      _mm512_maskz_extracti32x4_epi32(0xF, _mm512_maskz_compress_epi8(separators, offsets), 0));
  const __m512i one = _mm512_set1_epi64(1);
  const __m512i starts =
      _mm512_add_epi64(_mm512_maskz_alignr_epi64(0xFF, ends, _mm512_set1_epi64(-1), 7), one);
  const __mmask8 shortFields = _mm512_cmple_epu64_mask(
      _mm512_sub_epi64(_mm512_sub_epi64(ends, starts), one), _mm512_set1_epi64(7));

  const FieldPlaces places = fieldPlaces(starts, ends);
  std::uint64_t fieldBytes;
  const __m512i fields = gatherFields(text, places, 0, fieldBytes);
  const __m512i zero = _mm512_set1_epi8('0');
  if constexpr (kIntegers) {
    const __m512i digitValues = _mm512_sub_epi8(fields, zero);
    const std::uint64_t digits =
        _mm512_mask_cmple_epu8_mask(fieldBytes, digitValues, _mm512_set1_epi8(9));
    const std::uint64_t minus =
        _mm512_mask_cmpeq_epi8_mask(fieldBytes, fields, _mm512_set1_epi8('-'));
    const std::uint64_t wrong = fieldBytes & ~(digits | (minus & firstOfRuns(fieldBytes)));
    if ((shortFields != 0xFF) | (wrong != 0) | (lanesWith(digits) != 0xFF)) return nullptr;
    const __m512d magnitudes =
        _mm512_cvtepi64_pd(digitsValue(_mm512_maskz_mov_epi8(digits, digitValues)));
    // The sign bit set, which makes "-0" -0 as readShortInteger does.
    values = _mm512_mask_xor_pd(magnitudes, lanesWith(minus), magnitudes, _mm512_set1_pd(-0.0));
    return p + std::countr_zero(eighth);
  }
  const std::uint64_t points =
      _mm512_mask_cmpeq_epi8_mask(fieldBytes, fields, _mm512_set1_epi8('.'));
  const std::uint64_t pointLanes = _pdep_u64(lanesWith(points), kLaneBytes);
  // Bytes up to each lane's point: the digits before it move up one place over it.
  const std::uint64_t upToPoint = (points << 1) - pointLanes;
  std::uint64_t numberBytes;
  const __m512i closed = gatherFields(text, places, upToPoint, numberBytes);

  const __m512i digitValues = _mm512_sub_epi8(closed, zero);
  const std::uint64_t digits =
      _mm512_mask_cmple_epu8_mask(numberBytes, digitValues, _mm512_set1_epi8(9));
  const std::uint64_t minus =
      _mm512_mask_cmpeq_epi8_mask(numberBytes, closed, _mm512_set1_epi8('-'));
  // A second point stays a byte of its own in `closed`.
  const std::uint64_t wrong = (numberBytes & ~(digits | (minus & firstOfRuns(numberBytes)))) |
                              (points & firstOfRuns(fieldBytes));
  if ((shortFields != 0xFF) | (wrong != 0) | (lanesWith(digits) != 0xFF)) return nullptr;

  const __m512i mantissas = digitsValue(_mm512_maskz_mov_epi8(digits, digitValues));
  // Digits behind the point: the bytes after it in lanes that have one.
  const __m512i behindPoint =
      _mm512_sad_epu8(_mm512_maskz_mov_epi8(pointLanes * 0xFF & ~upToPoint, _mm512_set1_epi8(1)),
                      _mm512_setzero_si512());
  const __m512d powers = _mm512_set_pd(1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1);
  __m512d divisors = _mm512_maskz_permutexvar_pd(0xFF, behindPoint, powers);
  divisors = _mm512_mask_sub_pd(divisors, lanesWith(minus), _mm512_setzero_pd(), divisors);
  values = _mm512_div_pd(_mm512_cvtepi64_pd(mantissas), divisors);
  return p + std::countr_zero(eighth);
}

// Reads the eight fields from `p` into out[0][row] to out[7][row], the eighth ended by a line
// feed when `endsLine`, else by a comma as the other seven; kIntegers as readShortFields. Returns
// the eighth's separator, or nullptr with nothing written.
template <bool kIntegers = false>
[[VELOPLOT_AVX512]] inline const char* readEightShortNumbers(const char* p, bool endsLine,
                                                             double* const* out, std::size_t row) {
  __m512d values;
  const char* const separator = readShortFields<kIntegers>(p, endsLine ? 0x80 : 0, values);
  if (separator == nullptr) return nullptr;
  // Stored one by one: a scatter costs more than the eight stores.
  double stored[8];
  _mm512_storeu_pd(stored, values);
  for (int k = 0; k < 8; ++k) out[k][row] = stored[k];
  return separator;
}

}  // namespace number_scan

#endif
