// large_pages.h where the system offers no large pages on request: nothing to ask for, and the
// pages fill as the values reach them.
#include "data/large_pages.h"

void adviseLargePages(void*, std::size_t) {}

void fillStretch(PageFill&, void*) {}
