#include "sim/tcp_control_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "sim/sim_log.h"

namespace {

constexpr uint8_t TYPE_ITEM = 0;
constexpr uint8_t TYPE_TUNNEL = 7;

uint32_t le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

TcpControlServer::TcpControlServer(const ControlServerConfig& config) : config_(config) {
  silent_ = config.silent;
}

TcpControlServer::~TcpControlServer() { stop(); }

bool TcpControlServer::start() {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) {
    error_ = strerror(errno);
    return false;
  }
  const int on = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(config_.port);
  if (inet_pton(AF_INET, config_.address.c_str(), &at.sin_addr) != 1) {
    error_ = "not an IPv4 address: " + config_.address;
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(listen_fd_, 4) != 0) {
    error_ = "listen " + config_.address + ":" + std::to_string(config_.port) + ": " + strerror(errno);
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  socklen_t len = sizeof at;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&at), &len);
  bound_port_ = ntohs(at.sin_port);
  quit_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void TcpControlServer::stop() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
  if (client_fd_ >= 0) close(client_fd_.exchange(-1));
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
}

void TcpControlServer::with_firmware(const std::function<void(SimFirmware&)>& change) {
  std::lock_guard<std::mutex> hold(lock_);
  change(firmware_);
}

void TcpControlServer::drop_connection() { drop_ = true; }

void TcpControlServer::send_frequency_report(uint32_t hz) {
  const uint8_t m[9] = {9, 0xE0, 7, uint8_t(hz), uint8_t(hz >> 8), uint8_t(hz >> 16), uint8_t(hz >> 24), 0, 0};
  std::lock_guard<std::mutex> hold(lock_);
  send_locked(m, sizeof m);
}

void TcpControlServer::send_console_text(const std::string& text) {
  std::lock_guard<std::mutex> hold(lock_);
  for (unsigned char c : text) {
    const uint8_t m[9] = {9, 0xE0, 6, 10, c, 0, 0, 0, 0};
    send_locked(m, sizeof m);
  }
}

void TcpControlServer::send_raw(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  send_locked(bytes.data(), bytes.size());
}

std::vector<std::vector<uint8_t>> TcpControlServer::messages() {
  std::lock_guard<std::mutex> hold(lock_);
  return messages_;
}

bool TcpControlServer::wait_for(const std::function<bool(const std::vector<std::vector<uint8_t>>&)>& done,
                                int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (true) {
    if (done(messages())) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void TcpControlServer::send_locked(const uint8_t* data, size_t n) {
  const int fd = client_fd_;
  if (fd < 0) return;
  while (n > 0) {
    const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
    if (sent <= 0) return;
    data += sent;
    n -= static_cast<size_t>(sent);
  }
}

void TcpControlServer::serve() {
  while (!quit_) {
    if (drop_.exchange(false) && client_fd_ >= 0) {
      std::lock_guard<std::mutex> hold(lock_);
      close(client_fd_.exchange(-1));
      partial_.clear();
      sim_log("control: connection dropped");
    }
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {client_fd_, POLLIN, 0}};
    const int nfds = client_fd_ >= 0 ? 2 : 1;
    if (poll(fds, nfds, 10) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::lock_guard<std::mutex> hold(lock_);
        if (client_fd_ >= 0) close(client_fd_);
        client_fd_ = fd;
        partial_.clear();
        ++connections_;
        sim_log("control: client connected");
      }
    }
    if (nfds == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
      uint8_t buffer[2048];
      const ssize_t n = recv(fds[1].fd, buffer, sizeof buffer, 0);
      std::lock_guard<std::mutex> hold(lock_);
      if (n <= 0) {
        if (client_fd_ == fds[1].fd) {
          close(client_fd_.exchange(-1));
          partial_.clear();
        }
      } else {
        take_bytes(buffer, static_cast<size_t>(n));
      }
    }
  }
}

// Splits the byte stream into messages by their length field (bits 0..12).
void TcpControlServer::take_bytes(const uint8_t* data, size_t n) {
  partial_.insert(partial_.end(), data, data + n);
  while (partial_.size() >= 2) {
    size_t length = (partial_[0] | (partial_[1] << 8)) & 0x1FFF;
    if (length < 2) length = partial_.size();  // no valid frame: take what is there
    if (partial_.size() < length) break;
    std::vector<uint8_t> message(partial_.begin(), partial_.begin() + length);
    partial_.erase(partial_.begin(), partial_.begin() + length);
    messages_.push_back(message);
    handle_message(message);
  }
}

void TcpControlServer::handle_message(const std::vector<uint8_t>& m) {
  const uint8_t type = m[1] >> 5;
  const uint8_t ack[4] = {4, 0, m.size() > 2 ? m[2] : uint8_t(0), m.size() > 3 ? m[3] : uint8_t(0)};
  if (type == TYPE_TUNNEL && m.size() > 2) {
    const std::optional<AnswerReport> answer = firmware_.handle(m.data() + 2, m.size() - 2);
    if (silent_) return;
    if (answer) {
      uint8_t reply[9] = {9, 0xE0};
      memcpy(reply + 2, answer->data(), 7);
      send_locked(reply, sizeof reply);
    } else {
      send_locked(ack, sizeof ack);
    }
    return;
  }
  if (type == TYPE_ITEM && m.size() >= 4) {
    const int item = m[2] | (m[3] << 8);
    if (item == 0x00B8 && m.size() >= 9) firmware_.sample_rate = le32(&m[5]);
    if (item == 0x0020 && m.size() >= 9) firmware_.frequency = le32(&m[5]);
    sim_log("control: item %04X, %zu bytes", item, m.size());
  }
  if (!silent_) send_locked(ack, sizeof ack);
}
