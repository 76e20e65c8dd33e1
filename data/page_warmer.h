// Fresh pages for the columns of a big table, faulted in on another core ahead of the reader.
//
// The columns of a 500 MB file take hundreds of megabytes of fresh memory. The system hands each
// page out on its first touch, and on some machines (virtual ones whose host takes back what the
// guest freed) that costs as much as the parsing. A warmer asks the system for the pages of every
// region a few megabytes ahead of where the reader writes, from a thread of its own, without
// changing a byte of them; the reader then writes into pages that are already there.
//
// Contract: the regions must stay allocated until the warmer is stopped (its handle reset), and
// must not be handed back to the allocator before then. Where the system cannot populate pages
// without writing them, startPageWarmer gives no warmer and the reader goes on without one.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

struct PageWarmer;
struct PageWarmerStopper {
  void operator()(PageWarmer* warmer) const;  // stops the thread and waits for it
};
using PageWarmerHandle = std::unique_ptr<PageWarmer, PageWarmerStopper>;

// Starts warming the regions, each up to `aheadBytes` beyond the offset noted as written.
PageWarmerHandle startPageWarmer(std::vector<std::span<std::byte>> regions, std::size_t aheadBytes);

// Every region is written up to `writtenBytes` from its start.
void notePagesWritten(PageWarmer& warmer, std::size_t writtenBytes);
