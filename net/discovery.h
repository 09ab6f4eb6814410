// Finding receivers on the local network: the request the window broadcasts,
// and the checks and decoding of the replies it lists.
//
// Request (PC to port 48321 of every broadcast address), 56 bytes:
//   38 00 (length 56, type 0), 5A A5, then 52 zero bytes.
// Reply (receiver to port 48322), of which the system reads:
//   2..3 signature 5A A5; 5..20 device name and 21..36 serial number, each
//   text ending with a zero byte; 37..40 IPv4 address little-endian (byte 40
//   is the first octet); 53..54 port little-endian; 87 in-use flags (bit 0
//   or 1). A reply is kept as a record of its first 103 bytes.
//
// Replies are untrusted: nothing here reads past the bytes that arrived.
// A reply too short to hold the in-use flags (under 88 bytes) is dropped; a
// shorter-than-record reply is stored with the rest of its record zeroed,
// a longer one is cut to the record.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

constexpr uint16_t DISCOVERY_REQUEST_PORT = 48321;
constexpr uint16_t DISCOVERY_REPLY_PORT = 48322;
constexpr int DISCOVERY_REQUEST_BYTES = 56;
constexpr int DISCOVERY_RECORD_BYTES = 103;
constexpr int DISCOVERY_MIN_REPLY_BYTES = 88;  // up to and including the in-use flags
constexpr int DISCOVERY_RECEIVE_BUFFER_BYTES = 2048;
constexpr int DISCOVERY_LISTEN_MS = 2250;
constexpr int DISCOVERY_MAX_RECEIVERS = 32;

// The accepted device names, in the order of the window's identity selector.
extern const char* const DISCOVERY_DEVICE_NAMES[3];

std::array<uint8_t, DISCOVERY_REQUEST_BYTES> discovery_request();

enum class ReplyCheck { accepted, too_short, wrong_signature, unknown_name };
// Whether a datagram of `length` bytes is a reply the window lists.
ReplyCheck check_discovery_reply(const uint8_t* data, int length);

// Copies a checked reply into a record: its first 103 bytes, zeros after
// what arrived.
void store_discovery_record(uint8_t* record, const uint8_t* data, int length);

struct DiscoveredReceiver {
  QString name;
  QString serial;
  uint32_t ipv4 = 0;  // host order: 192.168.0.8 is 0xC0A80008
  uint16_t port = 0;
  bool in_use = false;
};
DiscoveredReceiver decode_discovery_record(const uint8_t* record);

// The serial number field of a reply or record (at least 37 bytes long).
QString discovery_serial(const uint8_t* data);

// "[(In Use) ]NAME   SN=SERIAL   IP=a.b.c.d   Port=P \n\r"
QString discovery_listing_line(const DiscoveredReceiver& receiver);

// The port a window works on: the receiver's port, offset for stream N of a
// shared receiver (N = 1..4; other values leave it as it is), 16-bit.
uint16_t stream_port(uint16_t receiver_port, int stream_number);
