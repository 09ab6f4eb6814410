#include "usb/startup_sequence.h"

#include "net/tcp_channel.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "usb/usb_app.h"

PollState& poll_state() {
  static PollState state;
  return state;
}

namespace {

int& startup_step = poll_state().startup_step;

void finish(StartupWindow& window, int* startup_pending) {
  window.startup_finished();
  startup_step = 0;
  *startup_pending = 0;
}

// Runs step `step`; returns 1 when an answer is expected. May move
// startup_step itself (the network skips); otherwise the caller advances it.
int run_step(int step, StartupWindow& w, bool* moved) {
  const bool network = w.network_mode() == 1;
  switch (step) {
    case 0: CMD_QUERY_FE_STATUS(); return 1;
    case 1: CMD_QUERY_FIRMWARE_VERSION(); return 1;
    case 2: CMD_QUERY_RX_MODE(); return 1;
    case 3: w.apply_stored_fe_gain(); return 1;
    case 4: CMD_QUERY_MAIN_CLOCK(0); return 1;
    case 5: CMD_QUERY_MAIN_CLOCK(1); return 1;
    case 6: CMD_SET_RF_GAIN(static_cast<uint8_t>(w.show_channel0_gain()), 0); return 1;
    case 7:
      if (network) {
        startup_step = 11;
        *moved = true;
        return 0;
      }
      CMD_QUERY_IP_ADDRESS();
      return 1;
    case 8: CMD_QUERY_IP_MASK(); return 1;
    case 9: CMD_QUERY_GATEWAY(); return 1;
    case 10:
      if (network) {
        startup_step = 11;
        *moved = true;
        return 0;
      }
      CMD_QUERY_DEST_PORT();
      return 1;
    case 11: CMD_QUERY_DEST_IP(); return 1;
    case 12: CMD_QUERY_SERIAL_NUMBER(); return 1;
    case 13: CMD_QUERY_HW_VERSION(); return 1;
    case 14: CMD_QUERY_VCO_VOLTAGE(); return 1;
    case 15: CMD_QUERY_GAIN_TABLE(); return 1;
    case 16: CMD_SET_BROADCAST(w.broadcast() != 0); return 1;
    case 17: CMD_SET_MULTICAST(w.multicast() != 0); return 1;
    case 18: CMD_QUERY_SDR_ID(); return 1;
    case 19: CMD_QUERY_DHCP_SERVER(); return 1;
    case 20:
      if (w.rx_mode() != 0) w.notify_second_channel_gain();
      return 0;
    case 21: CMD_QUERY_DHCP_CLIENT(); return 1;
    case 22:
      if (w.rx_mode() != 0) w.apply_stored_phase_shift();
      return 0;
    case 23:
      if (network || hid_status == LINK_MASS_STORAGE) {
        const uint32_t rate = w.adopt_stored_sample_rate();
        receiver_state().set_sample_rate(static_cast<int32_t>(rate));
        if (network) tcp_send_sample_rate(rate);
        else CMD_SET_SAMPLE_RATE(rate);
        receiver_state().notify_host(STATUS_SAMPLE_RATE_CHANGED);
        return network ? 0 : 1;
      }
      CMD_QUERY_SAMPLE_RATE();
      return 1;
    case 24: CMD_QUERY_AGC_STATE(); return 0;
    case 25: {
      const int stream = w.stream_number();
      udp_app().set_stream_number(stream);
      usb_app().set_stream_number(stream);
      if (network || hid_status == LINK_MASS_STORAGE) CMD_SET_STREAM_NUMBER(static_cast<uint8_t>(stream));
      w.show_stream_number();
      CMD_QUERY_VHF_REF_CLOCK();
      return 1;
    }
    default:
      return 0;
  }
}

}  // namespace

int run_startup_step(StartupWindow& window, int* startup_pending, int awaiting) {
  if (window.slave_mode() != 0) {
    finish(window, startup_pending);
    return awaiting;
  }
  if (awaiting != 0) return awaiting;
  if (startup_step < 0 || startup_step >= STARTUP_STEPS) startup_step = 0;
  const int step = startup_step;
  bool moved = false;
  const int result = run_step(step, window, &moved);
  if (step == STARTUP_STEPS - 1) {
    finish(window, startup_pending);
  } else if (!moved) {
    ++startup_step;
  }
  return result;
}
