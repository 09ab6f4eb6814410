#include "platform/overlapped_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/sector_io.h"

// The read itself is done by a worker thread into a buffer of its own, so a
// read that the device never answers cannot block the owner, and a cancelled
// read cannot write into memory the owner has released. The worker holds its
// own descriptor and state, and ends when the file is closed and any read it
// is still inside has returned.
struct OverlappedFile::Shared {
  std::mutex lock;
  std::condition_variable work_ready;
  std::condition_variable result_ready;
  int fd = -1;
  bool closing = false;
  bool worker_busy = false;
  // Request: served when `requested` differs from `served`.
  uint64_t requested = 0;
  uint64_t served = 0;
  uint64_t wanted = 0;  // the one request whose result the owner still wants
  size_t length = 0;
  off_t offset = 0;
  void* data = nullptr;  // sector-aligned, `capacity` bytes
  size_t capacity = 0;
  // Result of request `served`.
  bool result_waiting = false;
  int error = 0;
  size_t bytes = 0;

  ~Shared() {
    if (fd >= 0) ::close(fd);
    free_sector_aligned(data);
  }
};

OverlappedFile::~OverlappedFile() { close(); }

bool OverlappedFile::open_for_reading(const char* path) {
  close();
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_DIRECT | O_SYNC | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  auto shared = std::make_shared<Shared>();
  shared->fd = fd;
  shared_ = shared;
  worker_ = std::thread(serve_reads, shared);
  return true;
}

void OverlappedFile::serve_reads(std::shared_ptr<Shared> shared) {
  std::unique_lock<std::mutex> hold(shared->lock);
  for (;;) {
    shared->work_ready.wait(hold, [&] { return shared->closing || shared->requested != shared->served; });
    if (shared->closing) return;
    const uint64_t request = shared->requested;
    const size_t length = shared->length;
    const off_t offset = shared->offset;
    void* data = shared->data;
    shared->worker_busy = true;
    hold.unlock();
    ssize_t n;
    do {
      n = ::pread(shared->fd, data, length, offset);
    } while (n < 0 && errno == EINTR);
    const int error = n < 0 ? errno : 0;
    hold.lock();
    shared->worker_busy = false;
    shared->served = request;
    if (request == shared->wanted && !shared->closing) {
      shared->error = error;
      shared->bytes = n < 0 ? 0 : static_cast<size_t>(n);
      shared->result_waiting = true;
      shared->result_ready.notify_all();
    }
  }
}

bool OverlappedFile::start_read(void* buffer, size_t length, off_t offset, Completion done,
                                void* context) {
  if (!shared_ || done_) return false;
  std::lock_guard<std::mutex> hold(shared_->lock);
  // A cancelled read may still be in progress; its buffer is replaced only
  // once the worker has left it.
  if (shared_->worker_busy && length > shared_->capacity) return false;
  if (length > shared_->capacity) {
    void* data = alloc_sector_aligned(length);
    if (!data) return false;
    free_sector_aligned(shared_->data);
    shared_->data = data;
    shared_->capacity = length;
  }
  target_ = buffer;
  done_ = done;
  context_ = context;
  shared_->length = length;
  shared_->offset = offset;
  shared_->wanted = ++shared_->requested;
  shared_->result_waiting = false;
  shared_->work_ready.notify_all();
  return true;
}

bool OverlappedFile::alertable_wait(int milliseconds) {
  const auto timeout = std::chrono::milliseconds(milliseconds);
  if (!shared_ || !done_) {
    std::this_thread::sleep_for(timeout);
    return false;
  }
  std::unique_lock<std::mutex> hold(shared_->lock);
  if (!shared_->result_ready.wait_for(hold, timeout, [&] { return shared_->result_waiting; }))
    return false;
  shared_->result_waiting = false;
  const int error = shared_->error;
  const size_t bytes = shared_->bytes;
  if (bytes) memcpy(target_, shared_->data, bytes);
  hold.unlock();
  Completion done = done_;
  void* context = context_;
  done_ = nullptr;
  target_ = nullptr;
  context_ = nullptr;
  done(context, error, bytes);
  return true;
}

void OverlappedFile::cancel_io() {
  if (!shared_) return;
  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->wanted = 0;
  shared_->result_waiting = false;
  done_ = nullptr;
  target_ = nullptr;
  context_ = nullptr;
}

void OverlappedFile::close() {
  if (!shared_) return;
  cancel_io();
  bool busy;
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    shared_->closing = true;
    busy = shared_->worker_busy;
    shared_->work_ready.notify_all();
  }
  // A worker stuck in a read the device never answers is left to finish on
  // its own; it holds the only references to what it still uses.
  if (busy)
    worker_.detach();
  else
    worker_.join();
  shared_.reset();
}
