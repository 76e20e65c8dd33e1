// The mapped data file where this maps none: every file is read as a stream.
#include "data/mapped_file.h"

MappedFilePointer mapDataFile(std::FILE*) {
  return nullptr;
}

void MappedFileCloser::operator()(MappedFile* file) const {
  delete file;
}

void releaseMappedBytes(MappedFile&, std::uint64_t) {}

bool mappedFileChanged(const MappedFile&) {
  return false;
}
