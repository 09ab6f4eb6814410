// UDP_App: the thread that receives the receiver's sample datagrams, picks or
// sums the channels the host wants, collects the result in a 64 KiB ring and
// hands it to the host in blocks of 512 samples through the receiver state.
//
// Datagrams (receiver to PC, little-endian): byte 0 selects the header.
//   4   short header, samples from byte 4 (1028 or 516 bytes in all);
//   24  extended header, samples from byte 20: byte 6 RX mode, bytes 8..11
//       sample rate, 12..15 channel 1 frequency, 16..19 channel 2 frequency;
//   any other value: samples from byte 4 + the current extra header length.
// Start datagram (PC to receiver): AA 01, to the receiver's address and port.
//
// Threads: the window's thread calls the setters, start_stream and
// request_stop and reads the published values; everything else, the socket
// and the ring included, belongs to the receive thread.
#pragma once

#include <QHostAddress>
#include <QMutex>
#include <QThread>
#include <QUdpSocket>
#include <atomic>
#include <mutex>
#include <cstdint>

#include "net/demultiplex.h"

constexpr uint8_t stream_start_datagram[2] = {0xAA, 0x01};
constexpr int UDP_RING_BYTES = 65536;

class UDP_App : public QThread {
  struct Run;  // what one run of the thread keeps (udp_app.cpp)

 public:
  // The receiver's top rate (quad channel, about 20,000 datagrams/s, each
  // costing the kernel over 2 KB) fills 131,072 bytes in about 3 ms, far
  // less than the 60-200 ms pauses these machines take now and then. This
  // buffer holds about 0.7 s at that rate.
  static constexpr int DEFAULT_RECEIVE_BUFFER_BYTES = 16 * 1024 * 1024;

  UDP_App();
  ~UDP_App() override;  // stops the thread

  // Configuration, from the window's thread. The channel selection takes
  // effect at the next datagram (diversity at the next frame); the packet
  // size, port, broadcast and multicast choices at the next start.
  void set_rx_mode(int code) { selection.set_rx_mode(code); }
  void set_selected_channel(int code) { selection.set_selected_channel(code); }
  void set_diversity(int on) { selection.set_diversity(on); }
  void set_stream_number(int number) { selection.set_stream_number(number); }
  void set_broadcast_flag(int on);
  void set_small_packets(int on) { small_packets.store(on ? 1 : 0); }
  void set_port(uint16_t value) { port.store(value); }
  void set_multicast(int on) { multicast.store(on ? 1 : 0); }
  void set_peer_address(const QHostAddress& address);

  int rx_mode() { return selection.rx_mode(); }
  int selected_channel() { return selection.selected_channel(); }
  int diversity() { return selection.diversity(); }
  int stream_number() { return selection.stream_number(); }
  int broadcast_flag();
  QHostAddress peer_address();

  // Switches the stream on: clears a stop request; while a thread is still
  // running (and not in broadcast mode) asks the receiver again with the
  // start datagram, up to ten times 100 ms apart until data arrive; then
  // starts the thread unless it runs. Blocks the caller while it asks.
  void start_stream();
  // Asks the thread to end; it does once no datagram is waiting (or after
  // a quarter second of unbroken data).
  void request_stop();

  // Published for the status poll. Read and clear the counter in one step
  // (take_packet_count), so that no datagram counted in between is lost.
  int take_packet_count() { return packet_count.exchange(0); }
  std::atomic<int> packet_count{0};            // datagrams taken since last cleared
  std::atomic<uint8_t> header_kind{0};         // byte 0 of the last datagram
  std::atomic<int8_t> stream_rx_mode{0};       // byte 6 of the last extended header
  std::atomic<int32_t> header_sample_rate{0};  // last extended-header values
  std::atomic<int32_t> header_frequency_ch1{0};
  std::atomic<int32_t> header_frequency_ch2{0};

  // Receive buffer asked of the kernel at the next start, and what the
  // kernel granted at the last one (getsockopt's figure, or -1).
  void set_receive_buffer_bytes(int bytes) { receive_buffer_bytes.store(bytes); }
  int granted_receive_buffer() const { return granted_buffer.load(); }

  // The per-datagram path of one run without a socket (fuzz targets and
  // tests): a run sized as the thread sizes it at its start (small packets,
  // broadcast flag as set now), then each datagram through the same header
  // logic, ring write and hand-off as a received one. Not for use while the
  // thread runs: the ring belongs to one run at a time.
  class DatagramFeed {
   public:
    explicit DatagramFeed(UDP_App& app);
    ~DatagramFeed();
    DatagramFeed(const DatagramFeed&) = delete;
    DatagramFeed& operator=(const DatagramFeed&) = delete;
    void take(const uint8_t* data, int length);

   private:
    UDP_App& app_;
    Run* run_;
  };

 protected:
  void run() override;

 private:
  static constexpr int STOP_NONE = 0, STOP_REQUESTED = 1, STOP_ENDING = 2;

  void receive_one_run();
  bool stop_requested() const { return stop_request.load() == STOP_REQUESTED; }
  bool claim_stop();
  bool send_through_running_socket(uint32_t address, uint16_t to_port);
  template <typename Send, typename Arrived>
  void ask_for_stream(Send send, Arrived arrived_within);
  void receive_datagrams(Run& run, int fd, const QUdpSocket& socket);
  void take_datagram(Run& run, const uint8_t* data, int length);
  void write_to_ring(Run& run, int sample_offset);
  void hand_off_blocks();
  void publish_header(const uint8_t* header);

  ChannelSelection selection;
  QMutex broadcast_flag_lock;
  int broadcast_flag_ = 0;
  QMutex peer_address_lock;
  QHostAddress peer_address_;
  std::atomic<uint16_t> port{0};
  std::atomic<int> multicast{0};
  std::atomic<int> small_packets{0};
  std::atomic<int> stop_request{STOP_NONE};
  std::atomic<int> receive_buffer_bytes{DEFAULT_RECEIVE_BUFFER_BYTES};
  std::atomic<int> granted_buffer{-1};
  // Orders the end of every run before the destructor where ThreadSanitizer
  // can see it (QThread::wait orders them inside QtCore, out of its sight).
  std::atomic<unsigned> runs_ended{0};
  // Datagrams taken since load: start_stream's sign that data arrive.
  std::atomic<unsigned> datagrams_taken{0};

  // The data socket's descriptor while the thread has one; start_stream
  // sends through it from the window's thread, so it is guarded (a
  // std::mutex, whose locking ThreadSanitizer can see, unlike QMutex's).
  std::mutex socket_lock;
  int socket_fd = -1;

  // Kept from one run to the next: up to 2047 bytes left over are delivered
  // at the start of the next run.
  alignas(64) uint8_t udp_ring[UDP_RING_BYTES] = {};
  int ring_write = 0;
  int ring_read = 0;
};

// The one instance, constructed at library load.
UDP_App& udp_app();
