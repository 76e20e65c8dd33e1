// A file read block by block on a thread of its own, one block ahead of the caller, so that the
// system's copying of the file's bytes is not on the reader's path.
//
// Contract: the thread reads the file from its current position while a read-ahead runs; the
// caller does not touch the file until the read-ahead is stopped (its handle reset), and the
// file stays open until then. Where threads are not at hand, startReadAhead gives none and the
// caller reads the file itself.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

struct ReadAhead;
struct ReadAheadStopper {
  void operator()(ReadAhead* readAhead) const;  // stops the thread and waits for it
};
using ReadAheadHandle = std::unique_ptr<ReadAhead, ReadAheadStopper>;

// Starts reading blocks of `blockBytes`, each into a buffer with `roomBefore` bytes before the
// block and `roomAfter` bytes behind its end, for the caller to use.
ReadAheadHandle startReadAhead(std::FILE* file, std::size_t blockBytes, std::size_t roomBefore,
                               std::size_t roomAfter);

// Waits for the next block: its bytes, fewer than a block only at the file's end or after a
// read error (as std::fread gives them). Its buffer stays the read-ahead's until traded.
std::span<char> nextBlock(ReadAhead& readAhead);

// Moves the buffer of the block that nextBlock gave into `buffer`, and gives `buffer`'s storage
// to the thread for the block after, unless that block was the file's last.
void tradeBlock(ReadAhead& readAhead, std::vector<char>& buffer);
