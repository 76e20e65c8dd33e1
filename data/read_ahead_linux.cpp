// Linux side of the read-ahead: a thread that reads each block into a buffer of its own and
// hands it over whole, so that neither side copies the other's bytes.
#include <algorithm>
#include <new>

#include "data/helper_thread.h"
#include "data/read_ahead.h"

struct ReadAhead {
  std::FILE* file = nullptr;
  std::size_t blockBytes = 0;
  std::size_t roomBefore = 0;
  std::size_t roomAfter = 0;
  HelperThread helper;
  // Under helper.mutex: the storage to read the next block into, once hasBuffer; the block read,
  // once hasBlock, until the caller trades it.
  std::vector<char> filling;
  bool hasBuffer = true;
  std::vector<char> block;
  std::size_t blockSize = 0;
  bool hasBlock = false;
  bool outOfMemory = false;
};

namespace {

void readBlocks(ReadAhead& readAhead) {
  std::unique_lock lock(readAhead.helper.mutex);
  for (;;) {
    readAhead.helper.changed.wait(lock,
                                  [&] { return readAhead.helper.stopping || readAhead.hasBuffer; });
    if (readAhead.helper.stopping) return;
    std::vector<char> buffer = std::move(readAhead.filling);
    readAhead.hasBuffer = false;
    lock.unlock();
    std::size_t got = 0;
    bool outOfMemory = false;
    try {
      buffer.resize(std::max(buffer.size(),
                             readAhead.roomBefore + readAhead.blockBytes + readAhead.roomAfter));
      got =
          std::fread(buffer.data() + readAhead.roomBefore, 1, readAhead.blockBytes, readAhead.file);
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
    }
    lock.lock();
    readAhead.block = std::move(buffer);
    readAhead.blockSize = got;
    readAhead.outOfMemory = outOfMemory;
    readAhead.hasBlock = true;
    readAhead.helper.changed.notify_all();
    if (got < readAhead.blockBytes) return;
  }
}

}  // namespace

void ReadAheadStopper::operator()(ReadAhead* readAhead) const {
  stopHelper(readAhead->helper);
  delete readAhead;
}

ReadAheadHandle startReadAhead(std::FILE* file, std::size_t blockBytes, std::size_t roomBefore,
                               std::size_t roomAfter) {
  auto* const readAhead = new ReadAhead;
  readAhead->file = file;
  readAhead->blockBytes = blockBytes;
  readAhead->roomBefore = roomBefore;
  readAhead->roomAfter = roomAfter;
  if (!startHelper(readAhead->helper, [readAhead] { readBlocks(*readAhead); })) {
    delete readAhead;  // the reader reads the file itself
    return nullptr;
  }
  return ReadAheadHandle(readAhead);
}

std::span<char> nextBlock(ReadAhead& readAhead) {
  std::unique_lock lock(readAhead.helper.mutex);
  readAhead.helper.changed.wait(lock, [&] { return readAhead.hasBlock; });
  // Reported where the caller's own allocation would have failed.
  if (readAhead.outOfMemory) throw std::bad_alloc();
  return {readAhead.block.data() + readAhead.roomBefore, readAhead.blockSize};
}

void tradeBlock(ReadAhead& readAhead, std::vector<char>& buffer) {
  {
    const std::lock_guard lock(readAhead.helper.mutex);
    buffer.swap(readAhead.block);
    readAhead.hasBlock = false;
    if (readAhead.blockSize == readAhead.blockBytes) {
      readAhead.filling = std::move(readAhead.block);
      readAhead.hasBuffer = true;
    }
  }
  readAhead.helper.changed.notify_all();
}
