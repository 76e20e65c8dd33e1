// The separators of a run of CSV text, listed in order before any field is read, so that the
// reader finds every field's end with one load instead of a search that waits on the last one.
//
// Contract: indexSeparators writes the offsets from `text` of every ',' and '\n' in
// [text, text + length) to `offsets` in increasing order and returns their count. It reads up to
// 63 bytes past `text + length` and writes up to 8 entries past the count, so `offsets` needs room
// for length + 8 entries. Offsets are 32 bits: `length` must stay below 2^32.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace separator_index {

// The place of the lowest bit, or garbage for none; never a branch (std::countr_zero has one).
inline std::uint32_t lowestBit(std::uint64_t bits) {
  return static_cast<std::uint32_t>(__builtin_ctzll(bits | std::uint64_t{1} << 63));
}

// The offsets of the bits of `marks` (the separators of the 64 bytes at `base`), eight at a
// time without a branch on each: entries past the count are written and later overwritten.
inline std::size_t appendOffsets(std::uint64_t marks, std::uint32_t base, std::uint32_t* out) {
  const auto count = static_cast<std::size_t>(std::popcount(marks));
  for (int i = 0; i < 8; ++i) {
    out[i] = base + lowestBit(marks);
    marks &= marks - 1;
  }
  if (count > 8) {
    for (std::size_t i = 8; i < 16; ++i) {
      out[i] = base + lowestBit(marks);
      marks &= marks - 1;
    }
    for (std::size_t i = 16; i < count; ++i) {
      out[i] = base + lowestBit(marks);
      marks &= marks - 1;
    }
  }
  return count;
}

// Only the marks of bytes before `length`, for the last 64 bytes.
inline std::uint64_t marksBefore(std::uint64_t marks, std::size_t length) {
  return length >= 64 ? marks : marks & ((std::uint64_t{1} << length) - 1);
}

// Bit i set when text[i] is a separator, for i from 0 to 63, sixteen bytes at a time.
inline std::uint64_t separatorMarks(const char* text) {
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  std::uint64_t marks = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * k));
    const __m128i found =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, lineFeed));
    marks |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(found))} << (16 * k);
  }
  return marks;
}

inline std::size_t indexSeparators(const char* text, std::size_t length, std::uint32_t* offsets) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < length; at += 64) {
    const std::uint64_t marks = marksBefore(separatorMarks(text + at), length - at);
    count += appendOffsets(marks, static_cast<std::uint32_t>(at), offsets + count);
  }
  return count;
}

#if defined(__x86_64__)

[[gnu::target("avx2,bmi,popcnt")]] inline std::uint64_t separatorMarksOf32(const char* text) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i found = _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(',')),
                                        _mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')));
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(found))};
}

[[gnu::target("avx2,bmi,popcnt")]] inline std::uint64_t separatorMarksAvx2(const char* text) {
  return separatorMarksOf32(text) | separatorMarksOf32(text + 32) << 32;
}

[[gnu::target("avx2,bmi,popcnt")]] inline std::size_t indexSeparatorsAvx2(const char* text,
                                                                          std::size_t length,
                                                                          std::uint32_t* offsets) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < length; at += 64) {
    const std::uint64_t marks = marksBefore(separatorMarksAvx2(text + at), length - at);
    count += appendOffsets(marks, static_cast<std::uint32_t>(at), offsets + count);
  }
  return count;
}

#endif

}  // namespace separator_index
