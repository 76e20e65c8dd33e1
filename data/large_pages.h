// Large memory pages for the columns of a big table.
//
// A 10-million-row table fills hundreds of megabytes of fresh memory; with small pages the system
// spends more time handing out pages than the reader spends parsing. Where the system can back a
// block with large pages on request, this asks it to; elsewhere it does nothing. Only a hint: the
// memory behaves the same either way.
#pragma once

#include <cstddef>

void adviseLargePages(void* address, std::size_t bytes);
