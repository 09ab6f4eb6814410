// Answer reports through the decoding (decode_answer and the widget-free
// decisions of usb/answer_dispatch and usb/commands) and through the control
// window's dispatch, the way the status poll takes them: tunnelled by the
// TCP reader into tunnel_answer_slot, read and dispatched by a 20 ms tick.
//
// Input: two bytes of window state (start-up pending, channel code, stream
// number; RX mode), then records of eight bytes:
//   [control] [7-byte answer report]
// control bit 0: the report arrives on this tick (else the tick finds none
// and may send the frequency); bit 1: a 5-byte receiver; bit 2: a 200 ms
// tick follows.
#include <QCoreApplication>
#include <QTimerEvent>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "net/tcp_channel.h"
#include "usb/answer_dispatch.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "usb/startup_sequence.h"
#include "window/mainwindow.h"

namespace {

const int CHANNEL_CODES[4] = {0, 2, 3, 4};

// What the window-free code makes of one report.
void decode_alone(const unsigned char* report, int channel, const int channel_frequency[5]) {
  const Answer answer = decode_answer(report);
  answer_releases_startup(answer);
  if (answer.kind != Answer::Status) return;
  const uint32_t v = answer.value;
  const RxModeView view = rx_mode_view(v, channel, channel_frequency, 7050000);
  FUZZ_CHECK(view.text != nullptr);
  FUZZ_CHECK(view.channel_index >= -1 && view.channel_index < 4);
  int rows[4], gains[4];
  unpack_gain_table(v, rows);
  channel_gains_db(v, gains);
  vco_offset_from_answer(v);
  uint32_t clock = DEFAULT_MAIN_CLOCK_HZ;
  apply_main_clock_half(v, &clock);
  uint8_t octets[4];
  ipv4_octets(v, octets);
}

void tick(MainWindow& w, int timer_id) {
  QTimerEvent event(timer_id);
  QCoreApplication::sendEvent(&w, &event);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_enter_scratch_dir("answer");
  fuzz_window();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MainWindow& w = fuzz_window();
  FuzzBytes in(data, size);
  const uint8_t state = in.u8();
  // Network mode without a control socket: the poll reads the tunnel slot.
  w.network_mode = 1;
  w.startup_pending = state & 1;
  w.channel = CHANNEL_CODES[(state >> 1) & 3];
  w.stream_number = (state >> 3) % 5;
  w.rx_mode = int16_t(in.u8() % 6);
  w.tuned_frequency = 7050000;
  w.last_sent_frequency = 7050000;
  for (int& f : w.channel_frequency) f = 7050000;
  w.main_clock = DEFAULT_MAIN_CLOCK_HZ;
  device_generation = 2;
  poll_state() = PollState{};

  int records = 0;
  while (in.left() > 0 && records++ < 256) {
    const uint8_t control = in.u8();
    unsigned char report[7] = {};
    size_t got = 0;
    const uint8_t* bytes = in.take(sizeof report, &got);
    memcpy(report, bytes, got);
    report_length = (control & 2) ? 5 : 7;
    decode_alone(report, w.channel, w.channel_frequency);
    if (control & 1) {
      unsigned char message[2 + 7] = {static_cast<unsigned char>(report_length + 2), 0xE0};
      memcpy(message + 2, report, size_t(report_length));
      tcp_take_received(message, report_length + 2);
    }
    tick(w, w.timer_20ms);
    FUZZ_CHECK(w.channel >= 0 && w.channel <= 4);
    if (control & 4) tick(w, w.timer_200ms);
  }
  report_length = 7;
  fuzz_settle_events();
  return 0;
}
