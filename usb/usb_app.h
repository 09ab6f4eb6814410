// USB_App: the reader thread of a mass-storage receiver's sample file
// "stream.dat". It keeps one unbuffered 8192-byte read outstanding at offset
// 512 (every read returns the receiver's next samples), selects or sums the
// channels as the window says, collects the result in a 64 KiB ring and hands
// it to the host in blocks of 512 samples through the receiver state.
//
// The window's thread calls the setters, start_reader, stop_reader and
// take_block_count; everything else runs on the reader thread, where read
// completions also run (inside its alertable waits), so the ring needs no lock.
#pragma once

#include <QMutex>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "net/demultiplex.h"
#include "platform/overlapped_file.h"

class USB_App : public QThread {
  Q_OBJECT

 public:
  static constexpr int RING_BYTES = 65536;
  static constexpr int READ_BYTES = 8192;
  static constexpr int READ_OFFSET = 512;
  static constexpr int PATH_CHARS = 256;  // drive path, "stream.dat" and the terminator

  USB_App();
  ~USB_App() override;  // stops a running reader and waits for it

  // Folder of the receiver's drive; "stream.dat" is appended with no separator.
  void set_drive_path(const wchar_t* path);
  void set_rx_mode(int code) { selection_.set_rx_mode(code); }
  void set_selected_channel(int code) { selection_.set_selected_channel(code); }
  void set_diversity(int on) { selection_.set_diversity(on); }
  void set_stream_number(int number) { selection_.set_stream_number(number); }

  // Starts delivering; starts the thread unless it already runs.
  void start_reader();
  // Asks the thread to end; it does so within one 100 ms wait.
  void stop_reader();

  // Blocks handed to the host since the last call (the status poll's rate).
  int take_block_count() { return block_count_.exchange(0); }

 protected:
  void run() override;

 private:
  static void read_completed(void* self, int error, size_t bytes);
  void on_read_completed(size_t bytes);
  bool open_stream_file(const wchar_t* file_name);
  void stream_until_stopped();
  void hand_off_one_block();
  void issue_read();
  void release_buffers();
  int buffered_bytes() const { return (ring_write_ - ring_read_) & (RING_BYTES - 1); }

  ChannelSelection selection_;
  QMutex drive_path_lock_;
  wchar_t drive_path_[PATH_CHARS] = {};
  int start_count_ = 0;

  // Reader thread only.
  OverlappedFile stream_file_;
  uint8_t* usb_ring_ = nullptr;
  uint8_t* read_buffer_ = nullptr;
  int ring_write_ = 0;
  int ring_read_ = 0;
  int read_pending_ = 0;

  std::atomic<int> streaming_{0};
  std::atomic<int> stop_request_{0};
  std::atomic<int> block_count_{0};
};

// The library's one reader, constructed at load.
USB_App& usb_app();
