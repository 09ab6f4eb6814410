#include "usb/usb_app.h"

#include <QFile>
#include <QMutexLocker>
#include <QString>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/sector_io.h"
#include "plugin/receiver_state.h"

namespace {

constexpr int ALERTABLE_WAIT_MS = 100;
constexpr int IDLE_SLEEP_MS = 10;
// Longest a start waits for a run that is already ending before it starts the
// next one: the reader notices a stop within one alertable wait.
constexpr unsigned long ENDING_RUN_WAIT_MS = 1000;
const wchar_t STREAM_FILE_NAME[] = L"stream.dat";

USB_App the_usb_app;

// Input bytes per 4-byte output sample in each RX mode.
int frame_bytes(int rx_mode) {
  switch (rx_mode) {
    case 1:
    case 2:
      return 8;
    case 4:
    case 5:
      return 16;
    default:
      return 4;
  }
}

int output_bytes(int rx_mode, int input_bytes) {
  switch (rx_mode) {
    case 1:
    case 2:
      return input_bytes / 2;
    case 4:
    case 5:
      return input_bytes / 4;
    default:
      return input_bytes;
  }
}

}  // namespace

USB_App& usb_app() { return the_usb_app; }

USB_App::USB_App() = default;

USB_App::~USB_App() {
  stop_reader();
  wait();
}

void USB_App::set_drive_path(const wchar_t* path) {
  QMutexLocker hold(&drive_path_lock_);
  wcsncpy(drive_path_, path ? path : L"", PATH_CHARS - 1);
  drive_path_[PATH_CHARS - 1] = 0;
}

void USB_App::start_reader() {
  streaming_.store(1);
  // A run that was asked to stop and is still ending would swallow this
  // start: let it end and begin a fresh one.
  if (isRunning() && stop_request_.load()) wait(ENDING_RUN_WAIT_MS);
  if (isRunning()) return;
  // Cleared here rather than by the thread, so that a stop that comes right
  // after this start is never lost.
  stop_request_.store(0);
  start(QThread::InheritPriority);
}

void USB_App::stop_reader() {
  streaming_.store(0);
  stop_request_.store(1);
}

void USB_App::run() {
  QThread::currentThread()->setPriority(QThread::TimeCriticalPriority);
  read_pending_ = 0;
  wchar_t file_name[PATH_CHARS];
  bool name_fits;
  {
    QMutexLocker hold(&drive_path_lock_);
    name_fits = swprintf(file_name, PATH_CHARS, L"%ls%ls", drive_path_, STREAM_FILE_NAME) >= 0;
  }
  fprintf(stderr, "start thread %i\n", start_count_);
  ++start_count_;
  if (stream_file_.is_open()) stream_file_.close();  // cancels what it still had outstanding
  // A name cut short by the buffer is not the file: it is not opened.
  if (!name_fits || !open_stream_file(file_name)) {
    fprintf(stderr, "In File error: %ls\n", file_name);
    return;
  }
  usb_ring_ = static_cast<uint8_t*>(alloc_sector_aligned(RING_BYTES));
  read_buffer_ = static_cast<uint8_t*>(alloc_sector_aligned(READ_BYTES));
  if (usb_ring_ && read_buffer_) {
    memset(usb_ring_, 0, RING_BYTES);
    memset(read_buffer_, 0, READ_BYTES);
    ring_write_ = 0;
    ring_read_ = 0;
    stream_until_stopped();
  }
  stream_file_.close();
  // The platform layer guarantees that a cancelled read no longer targets
  // these, so they are released even when a read was still outstanding.
  release_buffers();
  fprintf(stderr, "Finish IO stream!\n");
}

bool USB_App::open_stream_file(const wchar_t* file_name) {
  const QByteArray path = QFile::encodeName(QString::fromWCharArray(file_name));
  return stream_file_.open_for_reading(path.constData());
}

void USB_App::stream_until_stopped() {
  for (;;) {
    if (streaming_.load() != 1) {
      QThread::msleep(IDLE_SLEEP_MS);
      if (stop_request_.load() == 1) return;
      continue;
    }
    hand_off_one_block();
    if (read_pending_ == 1) {
      stream_file_.alertable_wait(ALERTABLE_WAIT_MS);
    } else if (buffered_bytes() < BLOCK_BYTES) {
      issue_read();
      stream_file_.alertable_wait(ALERTABLE_WAIT_MS);
    }
    if (stop_request_.load() == 1) return;
  }
}

void USB_App::hand_off_one_block() {
  const int buffered = buffered_bytes();
  if (buffered < BLOCK_BYTES || buffered > RING_BYTES - BLOCK_BYTES - 1) return;
  const int block = ring_read_;
  ring_read_ = block + BLOCK_BYTES;
  if (ring_read_ > RING_BYTES - 1) ring_read_ = 0;
  receiver_state().call_host(SAMPLES_PER_BLOCK, 0, 0.0f, usb_ring_ + block);
  block_count_.fetch_add(1);
}

// A request that cannot be issued leaves read_pending_ set: the reader then
// waits, delivering nothing, until it is stopped.
void USB_App::issue_read() {
  read_pending_ = 1;
  stream_file_.start_read(read_buffer_, READ_BYTES, READ_OFFSET, read_completed, this);
}

void USB_App::read_completed(void* self, int, size_t bytes) {
  static_cast<USB_App*>(self)->on_read_completed(bytes);
}

void USB_App::on_read_completed(size_t bytes) {
  read_pending_ = 0;
  const int rx_mode = selection_.rx_mode();
  // Only whole frames: a short read that ends inside a frame would otherwise
  // shift every later sample in the ring by part of a sample.
  const int whole = static_cast<int>(bytes) / frame_bytes(rx_mode) * frame_bytes(rx_mode);
  const int length = output_bytes(rx_mode, whole);
  if (ring_write_ > RING_BYTES - 1) ring_write_ = 0;
  if (ring_read_ > RING_BYTES - 1) ring_read_ = 0;
  const int start = ring_write_;
  ring_write_ = start + length;
  if (ring_write_ <= RING_BYTES - 1) {
    demultiplex_frames(usb_ring_ + start, read_buffer_, length, selection_);
    return;
  }
  // Split at the end of the ring; the rest goes to its start.
  const int beyond = ring_write_ - RING_BYTES;
  const int first = length - beyond;
  demultiplex_frames(usb_ring_ + start, read_buffer_, first, selection_);
  const int consumed = demultiplex_input_bytes(first, selection_);
  demultiplex_frames(usb_ring_, read_buffer_ + consumed, beyond, selection_);
  ring_write_ = beyond;
}

void USB_App::release_buffers() {
  free_sector_aligned(usb_ring_);
  free_sector_aligned(read_buffer_);
  usb_ring_ = nullptr;
  read_buffer_ = nullptr;
  read_pending_ = 0;
}
