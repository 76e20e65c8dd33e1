// Filling a column's pages as its values reach them: which stretch fills, and with which pages.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "data/large_pages.h"

namespace {

constexpr std::size_t kStretch = kLargePageBytes;

// Fresh memory of whole stretches, aligned to their size, never touched.
class FreshBlock {
 public:
  explicit FreshBlock(std::size_t stretches) : mappedBytes_((stretches + 1) * kStretch) {
    mapping_ =
        mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const auto start = reinterpret_cast<std::uintptr_t>(mapping_);
    base_ = reinterpret_cast<char*>((start + kStretch - 1) & ~std::uintptr_t{kStretch - 1});
    stretches_ = stretches;
  }
  ~FreshBlock() { munmap(mapping_, mappedBytes_); }
  FreshBlock(const FreshBlock&) = delete;
  FreshBlock& operator=(const FreshBlock&) = delete;

  char* at(std::size_t offset) const { return base_ + offset; }
  char* end() const { return base_ + stretches_ * kStretch; }

  // Per stretch: 'F' where all its pages are resident, '-' where none is, 'p' between.
  std::string residency() const {
    const std::size_t pages = kStretch / static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::string marks;
    for (std::size_t s = 0; s < stretches_; ++s) {
      std::string resident(pages, '\0');
      mincore(at(s * kStretch), kStretch, reinterpret_cast<unsigned char*>(resident.data()));
      std::size_t count = 0;
      for (const char page : resident) count += page & 1;
      marks += count == pages ? 'F' : count == 0 ? '-' : 'p';
    }
    return marks;
  }

 private:
  std::size_t mappedBytes_;
  void* mapping_;
  char* base_;
  std::size_t stretches_;
};

// The advice flags of the mapping that holds `address` ("hg" for large pages, "nh" for none),
// from the kernel's list of the process's mappings.
std::string adviceAt(const void* address) {
  const auto wanted = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream maps("/proc/self/smaps");
  bool inMapping = false;
  for (std::string line; std::getline(maps, line);) {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> start >> dash >> end && dash == '-') {
      inMapping = start <= wanted && wanted < end;
    } else if (inMapping && line.rfind("VmFlags:", 0) == 0) {
      std::string advice;
      for (const char* flag : {" hg", " nh"}) {
        if (line.find(flag) != std::string::npos) advice += flag + 1;
      }
      return advice;
    }
  }
  return "no mapping";
}

bool kernelFillsOnRequest() {
  FreshBlock block(1);
  return madvise(block.at(0), 4096, MADV_POPULATE_WRITE) == 0 || errno != EINVAL;
}

class FillPagesTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!kernelFillsOnRequest()) GTEST_SKIP() << "no MADV_POPULATE_WRITE before Linux 5.14";
  }
};

TEST_F(FillPagesTest, FillsTheStretchTheValuesEnterWhenItLiesInTheBlock) {
  FreshBlock block(4);
  PageFill fill;
  fill.slowLargePage = std::chrono::hours(1);
  // Within a stretch, and up to the next one but not into it: nothing.
  fillPages(fill, block.at(100), block.at(4096), block.end());
  fillPages(fill, block.at(kStretch - 256), block.at(kStretch), block.end());
  EXPECT_EQ(block.residency(), "----");
  // Into the second stretch, and from its first byte on.
  fillPages(fill, block.at(kStretch - 8), block.at(kStretch + 248), block.end());
  EXPECT_EQ(block.residency(), "-F--");
  fillPages(fill, block.at(2 * kStretch), block.at(2 * kStretch + 8), block.end());
  EXPECT_EQ(block.residency(), "-FF-");
  // A stretch that the block ends inside stays as it is.
  fillPages(fill, block.at(3 * kStretch), block.at(3 * kStretch + 8), block.at(4 * kStretch - 8));
  EXPECT_EQ(block.residency(), "-FF-");
  EXPECT_FALSE(fill.smallPages);
}

TEST_F(FillPagesTest, AfterASlowLargePageTheRestFillsWithSmallPages) {
  FreshBlock block(3);
  adviseLargePages(block.at(0), 3 * kStretch);
  if (adviceAt(block.at(0)) != "hg") GTEST_SKIP() << "no large pages on request";
  PageFill fill;
  fill.slowLargePage = std::chrono::nanoseconds(0);
  fillPages(fill, block.at(0), block.at(8), block.end());
  EXPECT_TRUE(fill.smallPages);
  EXPECT_EQ(block.residency(), "F--");
  EXPECT_EQ(adviceAt(block.at(0)), "hg");
  fillPages(fill, block.at(kStretch - 8), block.at(kStretch + 8), block.end());
  EXPECT_EQ(block.residency(), "FF-");
  EXPECT_EQ(adviceAt(block.at(kStretch)), "nh");
  EXPECT_EQ(adviceAt(block.at(2 * kStretch)), "hg");
}

}  // namespace
