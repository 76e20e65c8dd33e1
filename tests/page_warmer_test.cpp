#include "data/page_warmer.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

const std::size_t kPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
constexpr std::size_t kMiB = std::size_t{1} << 20;

// Fresh memory of small pages, none of them backed yet.
struct FreshMemory {
  explicit FreshMemory(std::size_t bytes) : size(bytes) {
    void* const mapped =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base = mapped == MAP_FAILED ? nullptr : static_cast<std::byte*>(mapped);
    if (base != nullptr) madvise(base, bytes, MADV_NOHUGEPAGE);
  }
  ~FreshMemory() {
    if (base != nullptr) munmap(base, size);
  }
  std::span<std::byte> span(std::size_t from, std::size_t bytes) const {
    return {base + from, bytes};
  }
  std::size_t backedPages(std::size_t from, std::size_t bytes) const {
    std::vector<unsigned char> resident(bytes / kPage);
    mincore(base + from, bytes, resident.data());
    std::size_t count = 0;
    for (const unsigned char page : resident) count += page & 1;
    return count;
  }
  std::byte* base;
  std::size_t size;
};

// Polls for what the warmer does on its own thread.
bool becomesTrue(const auto& condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

TEST(PageWarmer, BacksEachRegionAheadOfTheWriterAndNoFurther) {
  const FreshMemory memory(32 * kMiB);
  ASSERT_NE(memory.base, nullptr);
  PageWarmerHandle warmer =
      startPageWarmer({memory.span(0, 16 * kMiB), memory.span(16 * kMiB, 16 * kMiB)}, kMiB);
  if (!warmer) GTEST_SKIP() << "this kernel cannot populate pages";
  const std::size_t pagesAhead = kMiB / kPage;
  EXPECT_TRUE(becomesTrue([&] { return memory.backedPages(0, kMiB) == pagesAhead; }));
  EXPECT_TRUE(becomesTrue([&] { return memory.backedPages(16 * kMiB, kMiB) == pagesAhead; }));
  EXPECT_EQ(memory.backedPages(kMiB, 15 * kMiB), 0u);

  notePagesWritten(*warmer, 4 * kMiB);
  EXPECT_TRUE(
      becomesTrue([&] { return memory.backedPages(16 * kMiB, 5 * kMiB) == 5 * pagesAhead; }));
  EXPECT_EQ(memory.backedPages(5 * kMiB, 11 * kMiB), 0u);
  EXPECT_EQ(memory.backedPages(21 * kMiB, 11 * kMiB), 0u);
  warmer.reset();
}

TEST(PageWarmer, NeverChangesWhatTheWriterWrote) {
  const std::size_t bytes = 24 * kMiB;
  const FreshMemory memory(bytes);
  ASSERT_NE(memory.base, nullptr);
  PageWarmerHandle warmer = startPageWarmer({memory.span(0, bytes)}, 256 * 1024);
  auto* const words = reinterpret_cast<std::uint64_t*>(memory.base);
  const std::size_t count = bytes / sizeof(std::uint64_t);
  for (std::size_t i = 0; i < count; ++i) {
    words[i] = i * 0x9E3779B97F4A7C15;
    if (warmer && i % 512 == 511) notePagesWritten(*warmer, (i + 1) * sizeof(std::uint64_t));
  }
  warmer.reset();
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < count; ++i) wrong += words[i] != i * 0x9E3779B97F4A7C15;
  EXPECT_EQ(wrong, 0u);
}

TEST(PageWarmer, StopsAtOnceWhateverItIsDoing) {
  const FreshMemory memory(8 * kMiB);
  ASSERT_NE(memory.base, nullptr);
  // Stopped before it began, while it waits, and with nothing to warm.
  startPageWarmer({memory.span(0, 8 * kMiB)}, 8 * kMiB).reset();
  PageWarmerHandle waiting = startPageWarmer({memory.span(0, 8 * kMiB)}, kMiB);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  waiting.reset();
  EXPECT_EQ(startPageWarmer({}, kMiB), nullptr);
  EXPECT_EQ(startPageWarmer({memory.span(0, kMiB)}, 0), nullptr);
}

}  // namespace
