// The simulated network receiver's control side: a TCP server that takes the
// control messages. A device-tunnel message (type 7) carries a
// command report, which the simulated firmware answers; the answer goes back
// as a tunnel message (length, 0xE0, the 7-byte answer). A command the
// firmware does not answer (a tuning report) and every item message (type 0)
// are acknowledged by a reply of their own (length 4, type 0, the item or
// report code), so that the one-message-in-flight channel moves on. Items
// change the firmware's state (sample rate, frequency, run state).
//
// One client at a time; a new connection replaces the old one. Serves on a
// thread of its own, so tests can drive the plug-in's event loop meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_firmware.h"

struct ControlServerConfig {
  std::string address = "127.0.0.2";
  uint16_t port = 50000;  // 0: any free port (see TcpControlServer::port())
  bool silent = false;    // never reply (messages are still recorded)
};

class TcpControlServer {
 public:
  explicit TcpControlServer(const ControlServerConfig& config = {});
  ~TcpControlServer();
  TcpControlServer(const TcpControlServer&) = delete;
  TcpControlServer& operator=(const TcpControlServer&) = delete;

  // Listens (SO_REUSEADDR) and starts serving. False with error() on failure.
  bool start();
  void stop();
  const std::string& error() const { return error_; }
  uint16_t port() const { return bound_port_; }

  // Runs `change` on the firmware under the server's lock.
  void with_firmware(const std::function<void(SimFirmware&)>& change);

  // Faults and unsolicited traffic.
  void set_silent(bool silent) { silent_ = silent; }
  void drop_connection();                        // closes the client's connection
  void send_frequency_report(uint32_t hz);       // answer report 7
  void send_console_text(const std::string& t);  // one answer 6/10 per character
  void send_raw(const std::vector<uint8_t>& bytes);

  // What the receiver saw: every message whole, in order of arrival.
  std::vector<std::vector<uint8_t>> messages();
  int connections() const { return connections_; }
  bool client_connected() const { return client_fd_ >= 0; }
  // Waits up to `ms` for `done(messages)`; returns its last result.
  bool wait_for(const std::function<bool(const std::vector<std::vector<uint8_t>>&)>& done, int ms);

 private:
  void serve();
  void take_bytes(const uint8_t* data, size_t n);
  void handle_message(const std::vector<uint8_t>& m);
  void send_locked(const uint8_t* data, size_t n);

  ControlServerConfig config_;
  std::string error_;
  int listen_fd_ = -1;
  std::atomic<int> client_fd_{-1};
  uint16_t bound_port_ = 0;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> silent_{false};
  std::atomic<bool> drop_{false};
  std::atomic<int> connections_{0};

  std::mutex lock_;  // firmware, records, partial input, sends
  SimFirmware firmware_;
  std::vector<std::vector<uint8_t>> messages_;
  std::vector<uint8_t> partial_;
};
