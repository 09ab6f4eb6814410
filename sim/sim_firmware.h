// The simulated receiver's firmware as the command links see it: it takes a
// command report, keeps the settings that commands change, and gives the
// answer report a receiver would return. Shared by the HID receiver and the
// mass-storage drive. Not thread-safe: each link guards its own copy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

using AnswerReport = std::array<uint8_t, 7>;

struct SimFirmware {
  // What the receiver reports; commands that set a value change it here.
  uint32_t fe_status = 0;
  uint32_t firmware_version = 0x0523;
  uint32_t sample_rate = 312500;
  uint32_t rx_mode = 0;
  uint32_t ip_address = 0xC0A80008;   // 192.168.0.8
  uint32_t ip_mask = 0xFFFFFF00;      // 255.255.255.0
  uint32_t gateway = 0xC0A80001;      // 192.168.0.1
  uint32_t dest_ip = 0xC0A80064;      // 192.168.0.100
  uint32_t dest_port = 50000;
  uint32_t serial_number = 0x20230519;
  uint32_t vco_value = 2048;          // offset 0
  uint32_t gain_table = 0x7642;
  uint32_t sync_word = 0x55AA55AA;
  uint32_t hw_version = 0x00010002;
  uint32_t broadcast = 0;
  uint32_t multicast = 0;
  uint32_t sdr_id = 0;
  uint32_t dhcp_server = 0;
  uint32_t dhcp_client = 0;
  uint32_t channel_gains = 0x80604020;  // bytes of channels 1..4
  uint32_t agc_mask = 0;
  uint32_t stream_number = 0;
  uint32_t main_clock = 80000000;
  uint32_t vhf_ref_clock = 28800000;
  uint32_t frequency = 0;
  uint16_t saved[32] = {};  // non-volatile parameters by index

  // Faults: no answers at all; answers with a report id that no host reads.
  bool silent = false;
  bool wrong_answers = false;

  // The answer to one command report of `length` bytes (5 or 7), if any.
  std::optional<AnswerReport> handle(const uint8_t* report, size_t length);

  // Frame layout of the sample stream in the current RX mode: 1, 2 or 4
  // channels per frame.
  int channels_per_frame() const;

 private:
  std::optional<AnswerReport> answer_command(uint8_t code, const uint8_t* p);
};
