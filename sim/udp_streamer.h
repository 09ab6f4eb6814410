// The simulated network receiver's sample streamer: waits for the start
// datagram AA 01 on its address and port, then streams sample datagrams to
// whoever sent it, at a chosen rate, in any RX mode, payload size and header
// kind.
//
// Sample content is a ramp per channel, so that a reader can check for loss
// and duplication: sample n of channel c (c = 0..3) is
//   I = n + 4096 c,  Q = -I   (16-bit, wrapping).
// The sample counter runs on across datagrams and restarts.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct StreamerConfig {
  std::string address = "127.0.0.2";
  uint16_t port = 50000;  // 0: any free port (see UdpStreamer::port())
  int rx_mode = 0;
  bool small_packets = false;  // 512 sample bytes per datagram instead of 1024
  int header_kind = 4;         // 4 short, 24 extended, any other byte as is
  double datagrams_per_second = 1000;
  int32_t sample_rate = 1300000;  // extended-header fields
  int32_t frequency_ch1 = 7050000;
  int32_t frequency_ch2 = 14050000;
  long long count = 0;  // datagrams to send after a start, 0 = no limit

  // Faults.
  bool silent = false;      // never answer the start datagram
  int answer_after = 1;     // start datagrams needed before streaming
  int short_every = 0;      // ahead of every Nth datagram, an extra short one
  int short_length = 100;   //   of this many bytes (no samples of the ramp)
  int malformed_every = 0;  // every Nth datagram with header byte 0x55
};

// Channels per frame for an RX mode: 1, 2 or 4.
int stream_channels(int rx_mode);
// The ramp's value for sample n of channel c.
inline int16_t ramp_i(uint32_t n, int channel) { return int16_t(uint16_t(n + 4096u * unsigned(channel))); }
inline int16_t ramp_q(uint32_t n, int channel) { return int16_t(-ramp_i(n, channel)); }

class UdpStreamer {
 public:
  explicit UdpStreamer(const StreamerConfig& config);
  ~UdpStreamer();

  // Binds (with SO_REUSEADDR, so a reader on 0.0.0.0 may hold the same port)
  // and starts serving. False on failure, with error() saying why.
  bool start();
  void stop();
  const std::string& error() const { return error_; }
  uint16_t port() const { return bound_port_; }

  // Changes while running (a control server steers these).
  void set_rx_mode(int mode) { rx_mode_ = mode; }
  void set_header_kind(int kind) { header_kind_ = kind; }
  void set_rate(double datagrams_per_second) { rate_ = datagrams_per_second; }
  void set_small_packets(bool on) { small_packets_ = on; }
  void set_silent(bool on) { silent_ = on; }
  // Stops sending until the next start datagram.
  void pause_streaming() { streaming_ = false; }

  bool streaming() const { return streaming_; }
  int start_datagrams_seen() const { return starts_seen_; }
  long long datagrams_sent() const { return sent_; }   // with samples
  long long faults_sent() const { return faults_; }    // short ones

 private:
  void serve();
  void take_requests();
  void send_due_datagrams();
  int build_datagram(uint8_t* out, bool malformed, bool advance);

  StreamerConfig config_;
  std::string error_;
  int fd_ = -1;
  uint16_t bound_port_ = 0;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<int> rx_mode_;
  std::atomic<int> header_kind_;
  std::atomic<double> rate_;
  std::atomic<bool> small_packets_;
  std::atomic<bool> silent_;
  std::atomic<bool> streaming_{false};
  std::atomic<int> starts_seen_{0};
  std::atomic<long long> sent_{0};
  std::atomic<long long> faults_{0};

  // Streaming state (serving thread only).
  sockaddr_in destination_{};
  long long sent_this_start_ = 0;
  double due_origin_ = 0;  // seconds, when the current pacing began
  long long due_base_ = 0;
  double paced_rate_ = 0;
  uint32_t sample_counter_ = 0;
  uint16_t sequence_ = 0;
};
