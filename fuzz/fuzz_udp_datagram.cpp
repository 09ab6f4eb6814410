// A run of UDP sample datagrams through UDP_App's per-datagram path: the
// header kinds (4, 24, other) and the extra length they switch, the read
// sizes, demultiplex_frames into the 64 KiB ring and the 2048-byte hand-off
// to the host.
//
// Input: three bytes of configuration (packet size, broadcast flag,
// diversity, stream number; RX mode; channel code), then records
//   [control] [length, 16 bits LE] [repeat] [length bytes]
// each fed `repeat` + 1 times (so that short inputs still wrap the ring). A
// control byte with its top bit set first changes the channel selection, as
// the window may between two datagrams. Lengths are cut to the 2088 bytes a
// receive slot holds, as the socket read cuts them.
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"

namespace {

constexpr int RECEIVE_SLOT_BYTES = 2088;
constexpr int BLOCK = 2048;

int channel_code(uint8_t v) { return v % 6; }  // 0..5: 1 and 5 are codes no window sends

// The host: a block is 512 samples, handed over whole.
void host_callback(int count, int status, float, void* data) {
  if (count < 0) return;
  FUZZ_CHECK(count == 512 && status == 0 && data != nullptr);
  const volatile uint8_t* block = static_cast<const uint8_t*>(data);
  unsigned sum = 0;
  for (int i = 0; i < BLOCK; ++i) sum += block[i];  // every byte of it is readable
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  receiver_state().set_host_callback(host_callback);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzBytes in(data, size);
  auto app = std::make_unique<UDP_App>();
  const uint8_t config = in.u8();
  app->set_small_packets(config & 1);
  app->set_broadcast_flag((config >> 1) & 1);
  app->set_diversity((config >> 2) & 1);
  app->set_stream_number((config >> 3) % 5);
  app->set_rx_mode(in.u8() % 8);  // 6 and 7 are codes no window sends
  app->set_selected_channel(channel_code(in.u8()));

  UDP_App::DatagramFeed feed(*app);
  int datagrams = 0;
  while (in.left() > 0 && datagrams < 4096) {
    const uint8_t control = in.u8();
    if (control & 0x80) {
      app->set_rx_mode(control & 7);
      app->set_diversity((control >> 3) & 1);
      app->set_selected_channel(channel_code((control >> 4) & 7));
    }
    const int wanted = in.u16() % (RECEIVE_SLOT_BYTES + 1);
    const int repeat = 1 + in.u8() % 64;
    size_t got = 0;
    const uint8_t* datagram = in.take(size_t(wanted), &got);
    for (int i = 0; i < repeat; ++i, ++datagrams) feed.take(datagram, int(got));
  }
  return 0;
}
