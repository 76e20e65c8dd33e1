// Linux side of large_pages.h: madvise(MADV_HUGEPAGE) on the whole pages inside the block;
// MADV_POPULATE_WRITE fills a stretch, with MADV_NOHUGEPAGE first for small pages. A kernel
// before 5.14 refuses MADV_POPULATE_WRITE; its pages fill as the values reach them, untimed.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "data/large_pages.h"

void adviseLargePages(void* address, std::size_t bytes) {
  const auto pageBytes = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t first = (start + pageBytes - 1) / pageBytes * pageBytes;
  const std::uintptr_t last = (start + bytes) / pageBytes * pageBytes;
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void fillStretch(PageFill& fill, void* stretch) {
  if (fill.smallPages) {
    madvise(stretch, kLargePageBytes, MADV_NOHUGEPAGE);
    madvise(stretch, kLargePageBytes, MADV_POPULATE_WRITE);
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  if (madvise(stretch, kLargePageBytes, MADV_POPULATE_WRITE) != 0) return;
  fill.smallPages = std::chrono::steady_clock::now() - start > fill.slowLargePage;
}
