// A file read with one outstanding request at a time, whose completion runs on
// the owning thread, inside its alertable waits, never on another thread. The
// owner issues a read, keeps doing its own work and calls alertable_wait(),
// which sleeps until the read completes (and runs its completion) or the time
// is up. Reads bypass the page cache (O_DIRECT), so each one reaches the
// device.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <thread>

class OverlappedFile {
 public:
  // `error` is 0 or the system's error number; `bytes` is what was transferred.
  using Completion = void (*)(void* context, int error, size_t bytes);

  OverlappedFile() = default;
  ~OverlappedFile();
  OverlappedFile(const OverlappedFile&) = delete;
  OverlappedFile& operator=(const OverlappedFile&) = delete;

  // Opens an existing file for unbuffered reading. False on failure, with the
  // system's error number in errno.
  bool open_for_reading(const char* path);
  bool is_open() const { return shared_ != nullptr; }

  // Starts reading `length` bytes at `offset` into `buffer`. The data and the
  // completion arrive in a later alertable_wait() on this thread. False when
  // the file is not open or a read is already outstanding.
  bool start_read(void* buffer, size_t length, off_t offset, Completion done, void* context);

  // Sleeps at most `milliseconds`, returning early after running the
  // completion of the outstanding read if it arrives. True if one ran.
  bool alertable_wait(int milliseconds);

  // Abandons the outstanding read: its completion never runs and its buffer
  // is not touched once this returns, even if the device answers later.
  void cancel_io();

  // Cancels and closes; the handle can be opened again afterwards.
  void close();

 private:
  struct Shared;
  static void serve_reads(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  // The request as its issuer sees it; touched only by the owning thread.
  void* target_ = nullptr;
  Completion done_ = nullptr;
  void* context_ = nullptr;
};
