// Linux side of the mapped data file: mmap of the whole file, madvise(MADV_DONTNEED) to give its
// pages back, and a handler of SIGBUS, which a read of a page that the file lost raises, that maps
// a page of zeros in its place.
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "data/mapped_file.h"

namespace {

MappedFile* activeFile = nullptr;
struct sigaction previousBusAction;
std::uintptr_t pageBytes = 4096;

std::int64_t modifiedNanoseconds(const struct stat& status) {
  return static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

void onBusError(int signal, siginfo_t* info, void*) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (activeFile != nullptr && info->si_code > 0 &&
      address - reinterpret_cast<std::uintptr_t>(activeFile->data) < activeFile->size) {
    void* const page = reinterpret_cast<void*>(address & ~(pageBytes - 1));
    if (mmap(page, pageBytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      activeFile->pageCut = 1;
      return;
    }
  }
  // Not a page of the file: as if this handler were not there. A fault repeats when the handler
  // returns and meets the previous action; a signal that another process sent is sent again.
  sigaction(SIGBUS, &previousBusAction, nullptr);
  if (info->si_code <= 0) raise(signal);
}

}  // namespace

MappedFilePointer mapDataFile(std::FILE* file) {
  if (activeFile != nullptr) return nullptr;
  pageBytes = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const int descriptor = dup(fileno(file));
  if (descriptor < 0) return nullptr;
  MappedFilePointer mapped(new MappedFile);
  mapped->descriptor = descriptor;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
      static_cast<std::uint64_t>(status.st_size) > SIZE_MAX) {
    return nullptr;
  }
  mapped->size = static_cast<std::uint64_t>(status.st_size);
  mapped->modifiedNanoseconds = modifiedNanoseconds(status);
  void* const data = mmap(nullptr, mapped->size, PROT_READ, MAP_PRIVATE, descriptor, 0);
  if (data == MAP_FAILED) return nullptr;
  mapped->data = static_cast<const char*>(data);
  struct sigaction action {};
  action.sa_sigaction = onBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGBUS, &action, &previousBusAction) != 0) return nullptr;
  activeFile = mapped.get();
  return mapped;
}

void MappedFileCloser::operator()(MappedFile* file) const {
  if (file == activeFile) {
    sigaction(SIGBUS, &previousBusAction, nullptr);
    activeFile = nullptr;
  }
  if (file->data != nullptr) munmap(const_cast<char*>(file->data), file->size);
  if (file->descriptor >= 0) close(file->descriptor);
  delete file;
}

void releaseMappedBytes(MappedFile& file, std::uint64_t upTo) {
  const std::uint64_t end = std::min(upTo, file.size) & ~static_cast<std::uint64_t>(pageBytes - 1);
  if (end <= file.released) return;
  madvise(const_cast<char*>(file.data + file.released), end - file.released, MADV_DONTNEED);
  file.released = end;
}

bool mappedFileChanged(const MappedFile& file) {
  struct stat status;
  return file.pageCut != 0 || fstat(file.descriptor, &status) != 0 ||
         static_cast<std::uint64_t>(status.st_size) != file.size ||
         modifiedNanoseconds(status) != file.modifiedNanoseconds;
}
