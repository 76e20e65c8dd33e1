// Linux side of the page warmer: a thread that populates the regions' pages with
// madvise(MADV_POPULATE_WRITE), which backs them writable and leaves their bytes as they are, so
// that it may run beside the writer of the same pages.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>

#include "data/helper_thread.h"
#include "data/page_warmer.h"

namespace {
constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();
}

struct PageWarmer {
  std::vector<std::span<std::byte>> regions;
  std::size_t aheadBytes = 0;
  std::size_t longestRegion = 0;
  HelperThread helper;
  std::size_t written = 0;  // under helper.mutex
  // The writer wakes the warmer only once it reaches this offset, so that most notes cost one
  // load and one compare.
  std::atomic<std::size_t> wakeAt = kNever;
};

namespace {

// Whole pages, so that the call covers the bytes [from, to) of the region; the pages it shares
// with its neighbours in memory are only backed, never changed.
bool populate(std::span<std::byte> region, std::size_t from, std::size_t to) {
  to = std::min(to, region.size());
  if (from >= to) return true;
  static const auto pageBytes = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(region.data()) + from;
  const std::uintptr_t firstPage = start / pageBytes * pageBytes;
  return madvise(reinterpret_cast<void*>(firstPage), start + (to - from) - firstPage,
                 MADV_POPULATE_WRITE) == 0;
}

void warm(PageWarmer& warmer) {
  std::size_t warmed = 0;
  std::unique_lock lock(warmer.helper.mutex);
  while (!warmer.helper.stopping && warmed < warmer.longestRegion) {
    const std::size_t target = std::min(warmer.written + warmer.aheadBytes, warmer.longestRegion);
    if (target > warmed) {
      lock.unlock();
      for (const std::span<std::byte> region : warmer.regions) populate(region, warmed, target);
      warmed = target;
      lock.lock();
      continue;
    }
    // Woken again once the writer has used half of what lies warm ahead of it.
    warmer.wakeAt.store(warmed - std::min(warmed, warmer.aheadBytes / 2),
                        std::memory_order_relaxed);
    warmer.helper.changed.wait(lock);
  }
}

}  // namespace

void PageWarmerStopper::operator()(PageWarmer* warmer) const {
  stopHelper(warmer->helper);
  delete warmer;
}

PageWarmerHandle startPageWarmer(std::vector<std::span<std::byte>> regions,
                                 std::size_t aheadBytes) {
  // A kernel without the call (before Linux 5.14) refuses it on the first page.
  if (regions.empty() || aheadBytes == 0 || !populate(regions.front(), 0, 1)) return nullptr;
  auto* const warmer = new PageWarmer;
  warmer->regions = std::move(regions);
  warmer->aheadBytes = aheadBytes;
  for (const std::span<std::byte> region : warmer->regions) {
    warmer->longestRegion = std::max(warmer->longestRegion, region.size());
  }
  if (!startHelper(warmer->helper, [warmer] { warm(*warmer); })) {
    delete warmer;  // the reader goes on without one
    return nullptr;
  }
  return PageWarmerHandle(warmer);
}

void notePagesWritten(PageWarmer& warmer, std::size_t writtenBytes) {
  if (writtenBytes < warmer.wakeAt.load(std::memory_order_relaxed)) return;
  warmer.wakeAt.store(kNever, std::memory_order_relaxed);
  {
    const std::lock_guard lock(warmer.helper.mutex);
    warmer.written = writtenBytes;
  }
  warmer.helper.changed.notify_one();
}
