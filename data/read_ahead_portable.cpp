// startReadAhead where the toolchain offers no threads: none, and the reader reads the file itself.
#include "data/read_ahead.h"

void ReadAheadStopper::operator()(ReadAhead*) const {}

ReadAheadHandle startReadAhead(std::FILE*, std::size_t, std::size_t, std::size_t) {
  return nullptr;
}

std::span<char> nextBlock(ReadAhead&) {
  return {};
}

void tradeBlock(ReadAhead&, std::vector<char>&) {}
