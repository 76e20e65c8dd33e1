// adviseLargePages where the system offers no large pages on request: nothing to ask for.
#include "data/large_pages.h"

void adviseLargePages(void*, std::size_t) {}
