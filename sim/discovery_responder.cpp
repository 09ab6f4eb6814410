#include "sim/discovery_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

using Clock = std::chrono::steady_clock;

struct DiscoveryResponder::Due {
  Clock::time_point at;
  sockaddr_in to;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> discovery_reply_bytes(const DiscoveryReplySpec& s) {
  std::vector<uint8_t> r(std::max(s.length, 103), 0);
  r[0] = uint8_t(s.length & 0xFF);
  r[1] = uint8_t((s.length >> 8) & 0xFF);
  r[2] = s.bad_signature ? 0x00 : 0x5A;
  r[3] = 0xA5;
  memcpy(&r[5], s.name.data(), std::min<size_t>(s.name.size(), 16));
  memcpy(&r[21], s.serial.data(), std::min<size_t>(s.serial.size(), 16));
  in_addr a{};
  inet_pton(AF_INET, s.address.c_str(), &a);
  const uint32_t host = ntohl(a.s_addr);  // little-endian on the wire: byte 40 is the first octet
  for (int i = 0; i < 4; ++i) r[37 + i] = uint8_t(host >> (8 * i));
  r[53] = uint8_t(s.port & 0xFF);
  r[54] = uint8_t(s.port >> 8);
  r[87] = s.in_use;
  r.resize(size_t(std::max(s.length, 0)));
  return r;
}

DiscoveryResponder::DiscoveryResponder(const ResponderConfig& config) : config_(config) {}
DiscoveryResponder::~DiscoveryResponder() { stop(); }

bool DiscoveryResponder::start() {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    error_ = strerror(errno);
    return false;
  }
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(config_.request_port);
  inet_pton(AF_INET, config_.bind_address.c_str(), &at.sin_addr);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
    error_ = std::string("bind: ") + strerror(errno);
    close(fd_);
    fd_ = -1;
    return false;
  }
  running_ = true;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void DiscoveryResponder::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::vector<uint8_t> DiscoveryResponder::last_request() {
  std::lock_guard<std::mutex> hold(last_lock_);
  return last_request_;
}

namespace {

bool well_formed_request(const uint8_t* b, ssize_t n) {
  if (n != 56 || b[0] != 0x38 || b[1] != 0x00 || b[2] != 0x5A || b[3] != 0xA5) return false;
  for (int i = 4; i < 56; ++i)
    if (b[i] != 0) return false;
  return true;
}

}  // namespace

void DiscoveryResponder::serve() {
  std::vector<Due> due;
  while (running_) {
    int wait_ms = 20;
    const auto now = Clock::now();
    for (const Due& d : due)
      wait_ms = std::min<int>(wait_ms, int(std::max<long>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(d.at - now).count())));
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, wait_ms) > 0 && (p.revents & POLLIN)) {
      uint8_t buffer[2048];
      sockaddr_in from{};
      socklen_t from_length = sizeof from;
      const ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
      if (n >= 0) {
        {
          std::lock_guard<std::mutex> hold(last_lock_);
          last_request_.assign(buffer, buffer + n);
        }
        ++requests_;
        if (well_formed_request(buffer, n) || !config_.ignore_bad_requests) {
          from.sin_port = htons(config_.reply_port);
          for (const DiscoveryReplySpec& reply : config_.replies)
            for (int c = 0; c < reply.copies; ++c)
              due.push_back({Clock::now() + std::chrono::milliseconds(reply.delay_ms), from,
                             discovery_reply_bytes(reply)});
        }
      }
    }
    // Due replies go out in the order they were made, each at its time.
    const auto send_time = Clock::now();
    for (auto it = due.begin(); it != due.end();) {
      if (it->at > send_time) {
        ++it;
        continue;
      }
      if (sendto(fd_, it->bytes.data(), it->bytes.size(), 0, reinterpret_cast<const sockaddr*>(&it->to),
                 sizeof it->to) >= 0)
        ++replies_sent_;
      it = due.erase(it);
    }
  }
}
