// Large memory pages for the columns of a big table.
//
// A 10-million-row table fills hundreds of megabytes of fresh memory; with small pages the system
// spends more time handing out pages than the reader spends parsing. Where the system can back a
// block with large pages on request, this asks it to; elsewhere it does nothing. Only hints: the
// memory behaves the same either way.
//
// A host that takes freed memory back (a virtual machine that reports its free pages) backs a
// large page again slowly: 3-6 ms for 2 MB, where a large page that it still backs takes 0.2-0.4
// ms and 2 MB of small pages 0.6-1.2 ms. After a pause, a load's first large pages fill fast and
// the rest slowly. A load therefore fills its columns itself, 2 MB at a time as its values reach
// them, timing each large page, and fills small pages from the first one that fills slowly on.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// The size of the large pages asked for, and of the stretches a load fills at a time.
inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

struct PageFill {
  // Longer than small pages take for the same memory: small pages from here on.
  std::chrono::nanoseconds slowLargePage = std::chrono::milliseconds(1);
  bool smallPages = false;
};

void adviseLargePages(void* address, std::size_t bytes);

// Fills the 2 MB stretch at `stretch`, aligned to its size and nothing written in it yet, as a
// large page where its block was advised for them, timed, or after a slow one, as small pages.
void fillStretch(PageFill& fill, void* stretch);

// Before values are written over [from, to) of a block that ends at `blockEnd`, with nothing
// written from `from` on: fills the stretch that begins in [from, to), if one does and it lies
// wholly inside the block. Inline, as a load asks this for every column of every stage and
// finds a stretch once in thousands.
inline void fillPages(PageFill& fill, const void* from, const void* to, const void* blockEnd) {
  const auto stretch = (reinterpret_cast<std::uintptr_t>(from) + kLargePageBytes - 1) &
                       ~std::uintptr_t{kLargePageBytes - 1};
  if (stretch < reinterpret_cast<std::uintptr_t>(to) &&
      stretch + kLargePageBytes <= reinterpret_cast<std::uintptr_t>(blockEnd)) {
    fillStretch(fill, reinterpret_cast<void*>(stretch));
  }
}
