#include "sim/udp_streamer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "sim/sim_log.h"

namespace {

constexpr int SEND_BATCH = 64;
constexpr int MAX_DATAGRAM = 20 + 1024;
constexpr int MAX_BURST = 1024;  // datagrams per pass when the sender lags
constexpr uint8_t MALFORMED_KIND = 0x55;

double seconds_now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void put16(uint8_t* p, int v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, int32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint32_t(v) >> (8 * i));
}

int bind_udp(const std::string& address, uint16_t port, std::string* error) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = strerror(errno);
    return -1;
  }
  const int on = 1;
  // For a fixed port the flag must be set before binding; for any free port
  // it is set after, so the kernel picks a port nobody else holds.
  if (port != 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
    *error = "not an IPv4 address: " + address;
    close(fd);
    return -1;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
    *error = "bind " + address + ":" + std::to_string(port) + ": " + strerror(errno);
    close(fd);
    return -1;
  }
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const int send_buffer = 4 * 1024 * 1024;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &send_buffer, sizeof send_buffer);
  return fd;
}

}  // namespace

int stream_channels(int rx_mode) {
  switch (rx_mode) {
    case 1:
    case 2: return 2;
    case 4:
    case 5: return 4;
    default: return 1;
  }
}

UdpStreamer::UdpStreamer(const StreamerConfig& config)
    : config_(config),
      rx_mode_(config.rx_mode),
      header_kind_(config.header_kind),
      rate_(config.datagrams_per_second),
      small_packets_(config.small_packets),
      silent_(config.silent) {}

UdpStreamer::~UdpStreamer() { stop(); }

bool UdpStreamer::start() {
  if (fd_ >= 0) return true;
  fd_ = bind_udp(config_.address, config_.port, &error_);
  if (fd_ < 0) return false;
  sockaddr_in at{};
  socklen_t length = sizeof at;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &length);
  bound_port_ = ntohs(at.sin_port);
  quit_ = false;
  thread_ = std::thread([this] { serve(); });
  sim_log("udp streamer on %s:%u", config_.address.c_str(), bound_port_);
  return true;
}

void UdpStreamer::stop() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void UdpStreamer::serve() {
  while (!quit_) {
    take_requests();
    if (streaming_) {
      send_due_datagrams();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    } else {
      pollfd p{fd_, POLLIN, 0};
      poll(&p, 1, 5);
    }
  }
}

// Start datagrams: the stream goes to their sender.
void UdpStreamer::take_requests() {
  uint8_t request[64];
  sockaddr_in from{};
  socklen_t from_length = sizeof from;
  for (;;) {
    const ssize_t n = recvfrom(fd_, request, sizeof request, MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n < 0) return;
    if (n < 2 || request[0] != 0xAA || request[1] != 0x01) continue;
    const int seen = ++starts_seen_;
    sim_log("start datagram %d from %s:%u", seen, inet_ntoa(from.sin_addr), ntohs(from.sin_port));
    if (silent_ || seen < config_.answer_after) continue;
    destination_ = from;
    if (!streaming_) {
      sent_this_start_ = 0;
      due_origin_ = seconds_now();
      due_base_ = 0;
      paced_rate_ = rate_;
      streaming_ = true;
    }
  }
}

void UdpStreamer::send_due_datagrams() {
  const double now = seconds_now();
  if (rate_ != paced_rate_) {  // a new rate paces from here on
    due_base_ = sent_this_start_;
    due_origin_ = now;
    paced_rate_ = rate_;
  }
  long long due = due_base_ + (long long)((now - due_origin_) * paced_rate_) - sent_this_start_;
  if (config_.count > 0) due = std::min(due, config_.count - sent_this_start_);
  due = std::min<long long>(due, MAX_BURST);

  static thread_local std::vector<uint8_t> storage(size_t(SEND_BATCH) * MAX_DATAGRAM);
  mmsghdr msgs[SEND_BATCH];
  iovec iov[SEND_BATCH];
  while (due > 0) {
    int n = 0;
    auto add = [&](int length) {
      iov[n].iov_base = storage.data() + size_t(n) * MAX_DATAGRAM;
      iov[n].iov_len = size_t(length);
      msgs[n] = {};
      msgs[n].msg_hdr.msg_name = &destination_;
      msgs[n].msg_hdr.msg_namelen = sizeof destination_;
      msgs[n].msg_hdr.msg_iov = &iov[n];
      msgs[n].msg_hdr.msg_iovlen = 1;
      ++n;
    };
    while (n < SEND_BATCH - 1 && due > 0) {
      if (config_.short_every > 0 && (sent_this_start_ + 1) % config_.short_every == 0) {
        const int full = build_datagram(storage.data() + size_t(n) * MAX_DATAGRAM, false, false);
        add(std::min(full, std::max(0, config_.short_length)));
        ++faults_;
      }
      const bool malformed = config_.malformed_every > 0 && (sent_ + 1) % config_.malformed_every == 0;
      add(build_datagram(storage.data() + size_t(n) * MAX_DATAGRAM, malformed, true));
      ++sent_;
      ++sent_this_start_;
      --due;
    }
    for (int done = 0; done < n;) {
      const int r = sendmmsg(fd_, msgs + done, unsigned(n - done), 0);
      if (r <= 0) break;  // a full send buffer loses datagrams, as a wire would
      done += r;
    }
  }
  if (config_.count > 0 && sent_this_start_ >= config_.count) streaming_ = false;
}

// One datagram of the current layout. Only datagrams that `advance` take
// the next samples of the ramp and the next sequence number.
int UdpStreamer::build_datagram(uint8_t* out, bool malformed, bool advance) {
  const int mode = rx_mode_;
  const int kind = header_kind_;
  const int payload = small_packets_ ? 512 : 1024;
  const int header = kind == 24 ? 20 : 4;
  memset(out, 0, size_t(header));
  out[0] = uint8_t(malformed ? MALFORMED_KIND : kind);
  put16(out + 2, sequence_);
  if (kind == 24) {
    out[6] = uint8_t(mode);
    put32(out + 8, config_.sample_rate);
    put32(out + 12, config_.frequency_ch1);
    put32(out + 16, config_.frequency_ch2);
  }
  const int channels = stream_channels(mode);
  const int frames = payload / (4 * channels);
  uint8_t* p = out + header;
  uint32_t n = sample_counter_;
  for (int f = 0; f < frames; ++f, ++n) {
    for (int c = 0; c < channels; ++c, p += 4) {
      put16(p, ramp_i(n, c));
      put16(p + 2, ramp_q(n, c));
    }
  }
  if (advance) {
    sample_counter_ = n;
    ++sequence_;
  }
  return header + payload;
}
