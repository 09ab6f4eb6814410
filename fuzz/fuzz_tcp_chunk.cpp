// Chunks read from the TCP control socket, through readTCPdata()'s logic
// (tcp_take_received: type-7 chunks into tunnel_answer_slot, at most 32
// bytes) and read_answer's network-tunnel path, into decode_answer, as the
// status poll takes them.
//
// Input: one byte of configuration (report length 5 or 7), then chunks
//   [length, 16 bits LE] [length bytes]
// each followed by one poll read (two when the length's top bit is set).
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "net/tcp_channel.h"
#include "usb/commands.h"
#include "usb/device_link.h"

namespace {

constexpr int ANSWER_BUFFER_BYTES = 23;  // the status poll's answer buffer
constexpr int MAX_CHUNK = 4096;

void poll_read_once() {
  unsigned char answer[ANSWER_BUFFER_BYTES];
  memset(answer, 0, sizeof answer);
  const unsigned char slot_before[2] = {tunnel_answer_slot[0], tunnel_answer_slot[1]};
  const int got = read_answer(answer);
  if (got > 0) {
    FUZZ_CHECK(got == report_length);
    FUZZ_CHECK(slot_before[0] != 0 && slot_before[1] >= 0xE0);
    FUZZ_CHECK(tunnel_answer_slot[0] == 0);  // taken once only
    const Answer decoded = decode_answer(answer);
    if (decoded.kind == Answer::Status) FUZZ_CHECK(decoded.code == answer[1]);
  } else {
    FUZZ_CHECK(got == 0 && answer[0] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes in(data, size);
  network_tunnel = 1;
  report_length = (in.u8() & 1) ? 5 : 7;
  memset(tunnel_answer_slot, 0, sizeof tunnel_answer_slot);
  while (in.left() > 0) {
    const uint16_t header = in.u16();
    size_t length = 0;
    const uint8_t* chunk = in.take(header % (MAX_CHUNK + 1), &length);
    unsigned char slot_before[TUNNEL_ANSWER_SLOT_BYTES];
    memcpy(slot_before, tunnel_answer_slot, sizeof slot_before);
    tcp_take_received(chunk, int(length));
    FUZZ_CHECK(!tcp_is_busy());
    if (length > 1 && (chunk[1] >> 5) == 7) {
      const size_t kept = length < sizeof slot_before ? length : sizeof slot_before;
      FUZZ_CHECK(memcmp(tunnel_answer_slot, chunk, kept) == 0);
    } else {
      FUZZ_CHECK(memcmp(tunnel_answer_slot, slot_before, sizeof slot_before) == 0);
    }
    poll_read_once();
    if (header & 0x8000) poll_read_once();
  }
  return 0;
}
