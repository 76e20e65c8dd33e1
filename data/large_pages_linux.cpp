// Linux side of adviseLargePages: madvise(MADV_HUGEPAGE) on the whole pages inside the block.
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
