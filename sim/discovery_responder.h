// The simulated network receiver's discovery responder: listens for the
// 56-byte request (38 00 5A A5, zeros) on UDP port 48321 and answers each
// with its replies, sent to the requester's address on port 48322.
//
// A reply carries name, serial number, IPv4 address, port and in-use flags
// at the offsets the PC reads; each reply may be sent late, several times,
// cut short, with a broken signature or any name, so that tests can show
// the PC lists only what it should and never reads past a short datagram.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct DiscoveryReplySpec {
  std::string name = "Tavrin-SDR";
  std::string serial = "TS0000001";
  std::string address = "127.0.0.2";  // the receiver's own address, dotted
  uint16_t port = 50000;
  uint8_t in_use = 0;       // byte 87
  int length = 103;         // bytes sent (a shorter one is cut, a longer one zero-padded)
  bool bad_signature = false;
  int delay_ms = 0;         // after the request
  int copies = 1;           // the same reply this many times
};

// The bytes of one described reply (exactly `length` bytes).
std::vector<uint8_t> discovery_reply_bytes(const DiscoveryReplySpec& reply);

struct ResponderConfig {
  std::string bind_address = "0.0.0.0";  // broadcasts reach a socket on any address
  uint16_t request_port = 48321;
  uint16_t reply_port = 48322;
  std::vector<DiscoveryReplySpec> replies = {DiscoveryReplySpec{}};
  bool ignore_bad_requests = true;  // answer only well-formed requests
};

class DiscoveryResponder {
 public:
  explicit DiscoveryResponder(const ResponderConfig& config);
  ~DiscoveryResponder();

  bool start();  // false with error() on failure
  void stop();
  const std::string& error() const { return error_; }

  int requests_seen() const { return requests_; }
  long long replies_sent() const { return replies_sent_; }
  // The last request's bytes, as received.
  std::vector<uint8_t> last_request();

 private:
  struct Due;
  void serve();

  ResponderConfig config_;
  std::string error_;
  int fd_ = -1;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<int> requests_{0};
  std::atomic<long long> replies_sent_{0};
  std::mutex last_lock_;
  std::vector<uint8_t> last_request_;
};
