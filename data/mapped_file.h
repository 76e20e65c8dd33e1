// A data file mapped into memory, where the system can map one, so that a load reads the system's
// cached copy of the file where it lies instead of copying it a block at a time, which took 4%
// of a whole load of doubles.
//
// Contract: mapDataFile maps a regular, non-empty, open file whole for reading, or returns null,
// and the caller then reads the file as a stream (so too on systems where this maps nothing).
// While mapped, [data, data + size) holds the file's bytes as the system has them: what another
// program writes to the file shows here too, and where it shortens the file, the bytes it cut
// read as zeros instead of stopping the process. mappedFileChanged then tells that the file
// changed since it was mapped, and the caller reads it again as a stream. releaseMappedBytes gives
// back the memory of the pages that a load has passed, so that the mapping adds only the pages
// between two releases to the process's peak memory; they map again if read again. One file is
// mapped at a time: while one is, mapDataFile returns null.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>

struct MappedFile {
  const char* data = nullptr;
  std::uint64_t size = 0;
  std::uint64_t released = 0;  // the bytes from the start whose pages were given back
  int descriptor = -1;         // the file's own, kept to ask whether it changed
  std::int64_t modifiedNanoseconds = 0;
  volatile std::sig_atomic_t pageCut = 0;  // a page the file lost was replaced by zeros
};

struct MappedFileCloser {
  void operator()(MappedFile* file) const;
};
using MappedFilePointer = std::unique_ptr<MappedFile, MappedFileCloser>;

MappedFilePointer mapDataFile(std::FILE* file);

// Gives back the pages wholly before `upTo`, from where the last release ended.
void releaseMappedBytes(MappedFile& file, std::uint64_t upTo);

bool mappedFileChanged(const MappedFile& file);
