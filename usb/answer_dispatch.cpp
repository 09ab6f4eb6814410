#include "usb/answer_dispatch.h"

#include "usb/device_link.h"

bool answer_releases_startup(const Answer& answer) {
  if (answer.kind != Answer::Status) return true;
  return answer.code != 10 && answer.code != 70 && answer.code != 91;
}

RxModeView rx_mode_view(uint32_t v, int channel, const int cf[5], int tuned) {
  switch (v) {
    case 0: return {"Single Channel RX mode", 0, 0, cf[0]};
    case 1: return {"Diversity RX mode", channel != 0 ? 1 : 0, -1, cf[0]};
    case 2:
      if (channel != 0) return {"Dual Channel RX mode", 1, -1, cf[2]};
      return {"Dual Channel RX mode", 0, -1, cf[0]};
    case 3: return {"Diversity Single Channel RX mode", 0, 0, cf[0]};
    case 4: return {"Diversity RX mode", 0, 0, cf[0]};
    default: return {"", -1, -1, tuned};
  }
}

int frequency_record_slot(int rx_mode, int channel) {
  if (rx_mode == 1 || rx_mode == 3 || rx_mode == 4) return 0;
  return (channel >= 0 && channel < 5) ? channel : 0;
}

int packet_rate_factor(int hid_status, int rx_mode, int stream_number) {
  const bool one_channel = rx_mode == 0 || rx_mode == 3 || stream_number != 0;
  if (hid_status == LINK_MASS_STORAGE) return one_channel ? 256 : 128;
  return one_channel ? 126 : 63;
}

LinkCheck check_link(bool device_open, bool device_error, int network_mode, int hid_status,
                     int device_generation, int slave_mode) {
  LinkCheck check{false, false, LinkVerdict::Usable};
  bool error = false;
  if (!device_open && network_mode != 1 && hid_status != LINK_MASS_STORAGE) {
    check.no_device = true;
  } else {
    error = device_error && hid_status != LINK_MASS_STORAGE && device_open;
    if (device_generation != 2) {
      check.force_usb = true;
      network_mode = 0;
    }
  }
  const bool usable = hid_status == LINK_MASS_STORAGE || (hid_status == LINK_HID && !error) || network_mode == 1;
  if (!usable) check.verdict = slave_mode != 0 ? LinkVerdict::SlaveWithoutLink : LinkVerdict::Lost;
  return check;
}
