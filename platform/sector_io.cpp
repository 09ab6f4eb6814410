#include "platform/sector_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace {

// -1: no limit; otherwise the number of allocations still allowed.
std::atomic<int> allocations_left{-1};

bool allocation_allowed() {
  int left = allocations_left.load();
  while (left >= 0) {
    if (left == 0) return false;
    if (allocations_left.compare_exchange_weak(left, left - 1)) return true;
  }
  return true;
}

}  // namespace

FileHandle open_unbuffered(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_RDWR | O_DIRECT | O_SYNC | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? NO_FILE : fd;
}

long last_error() { return errno; }

ssize_t write_at(FileHandle file, const void* buffer, size_t bytes, off_t offset) {
  ssize_t n;
  do {
    n = ::pwrite(file, buffer, bytes, offset);
  } while (n < 0 && errno == EINTR);
  return n;
}

ssize_t read_at(FileHandle file, void* buffer, size_t bytes, off_t offset) {
  ssize_t n;
  do {
    n = ::pread(file, buffer, bytes, offset);
  } while (n < 0 && errno == EINTR);
  return n;
}

void close_file(FileHandle& file) {
  if (file == NO_FILE) return;
  ::close(file);  // the descriptor is released even when close reports an error
  file = NO_FILE;
}

void* alloc_sector_aligned(size_t bytes) {
  if (!allocation_allowed()) return nullptr;
  void* buffer = nullptr;
  if (posix_memalign(&buffer, SECTOR_BYTES, bytes) != 0) return nullptr;
  return buffer;
}

void free_sector_aligned(void* buffer) { free(buffer); }

void* alloc_plain(size_t bytes) {
  if (!allocation_allowed()) return nullptr;
  return malloc(bytes);
}

void free_plain(void* buffer) { free(buffer); }

void fail_allocations_after(int successes) { allocations_left.store(successes < 0 ? 0 : successes); }

void allow_all_allocations() { allocations_left.store(-1); }
