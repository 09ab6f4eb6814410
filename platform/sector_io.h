// Unbuffered, write-through access to files on the receiver's drive, in whole
// 512-byte sectors from sector-aligned buffers. Every transfer goes straight to
// the device, so each write reaches the receiver as its own request and each
// read returns the receiver's latest data rather than a cached copy.
#pragma once

#include <sys/types.h>

#include <cstddef>

constexpr size_t SECTOR_BYTES = 512;

using FileHandle = int;
constexpr FileHandle NO_FILE = -1;

// Opens an existing file for reading and writing (O_DIRECT | O_SYNC); never
// creates one. NO_FILE on failure, with the reason in last_error().
FileHandle open_unbuffered(const char* path);

// The system's error number of the last failed call on this thread.
long last_error();

// One transfer of `bytes` (a multiple of SECTOR_BYTES) at `offset`, from or to
// a sector-aligned buffer. The byte count, or -1 with last_error() set.
ssize_t write_at(FileHandle file, const void* buffer, size_t bytes, off_t offset);
ssize_t read_at(FileHandle file, void* buffer, size_t bytes, off_t offset);

// Closes the file if it is open and marks the handle closed, so that a second
// call closes nothing.
void close_file(FileHandle& file);

// A buffer aligned to SECTOR_BYTES, or nullptr when memory is not available.
void* alloc_sector_aligned(size_t bytes);
void free_sector_aligned(void* buffer);
// Plain memory for texts built on the way to a file operation (nullptr when
// not available).
void* alloc_plain(size_t bytes);
void free_plain(void* buffer);

// For tests of the out-of-memory paths: the next `successes` allocations made
// through this layer succeed and every one after them fails, until
// allow_all_allocations() is called.
void fail_allocations_after(int successes);
void allow_all_allocations();
