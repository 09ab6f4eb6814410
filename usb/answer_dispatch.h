// The status poll's decisions (Part 4.3), free of widgets: whether an answer
// releases a waiting start-up step, what an RX-mode answer selects, where a
// sent frequency is recorded, the packet-rate factor, and the link check.
// The window's status poll (window/status_poll.cpp) shows their results.
#pragma once

#include <cstdint>

#include "usb/commands.h"

// Every answer releases a waiting start-up step except console characters
// (10), channel gains (70) and the VHF reference clock (91).
bool answer_releases_startup(const Answer& answer);

// What an RX-mode answer (code 15) with value `v` selects.
struct RxModeView {
  const char* text;      // label_diversity_mode ("" above 4)
  int channel_index;     // comboBox_RX_Channel index to select, -1: leave it
  int channel;           // the window's channel code afterwards, -1: as the selection left it
  int tuned_frequency;   // the window's tuned frequency afterwards
};
RxModeView rx_mode_view(uint32_t v, int channel, const int channel_frequency[5], int tuned_frequency);

// The channel_frequency slot that a sent frequency is recorded in.
int frequency_record_slot(int rx_mode, int channel);

// The factor between the packets counted over ten 200 ms ticks and the rate
// shown.
int packet_rate_factor(int hid_status, int rx_mode, int stream_number);

// The 20 ms link check.
enum class LinkVerdict { Usable, SlaveWithoutLink, Lost };
struct LinkCheck {
  bool no_device;  // USB mode, nothing open: "SDR is not found!" first
  bool force_usb;  // a 5-byte receiver: network_mode becomes 0
  LinkVerdict verdict;
};
// `device_open`: a HID device handle exists; `device_error`: hid_link_error()
// has a text for it.
LinkCheck check_link(bool device_open, bool device_error, int network_mode, int hid_status,
                     int device_generation, int slave_mode);
