#include "sim/sim_firmware.h"

#include <cstring>

#include "sim/sim_log.h"

namespace {

AnswerReport status(uint8_t code, uint32_t value) {
  return {6, code, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24), 0};
}

uint32_t le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

}  // namespace

int SimFirmware::channels_per_frame() const {
  switch (rx_mode) {
    case 1:
    case 2:
      return 2;
    case 4:
    case 5:
      return 4;
    default:
      return 1;
  }
}

std::optional<AnswerReport> SimFirmware::handle(const uint8_t* report, size_t length) {
  uint8_t r[7] = {};
  memcpy(r, report, length < 7 ? length : 7);
  sim_log("command %02X %02X %02X %02X %02X %02X %02X", r[0], r[1], r[2], r[3], r[4], r[5], r[6]);
  std::optional<AnswerReport> answer;
  switch (r[0]) {
    case 1:  // save a parameter
      if (r[1] == 0x56 && r[2] < 32) {
        saved[r[2]] = static_cast<uint16_t>(le16(r + 3));
        answer = status(0x56, r[2]);
      }
      break;
    case 2:
      answer = answer_command(r[1], r + 2);
      break;
    case 3:  // tuning is not answered
      frequency = le32(r + 1);
      break;
    default:
      break;
  }
  if (silent || !answer) return std::nullopt;
  if (wrong_answers) (*answer)[0] = 5;
  return answer;
}

// Queries answer with the value asked for; commands that set something answer
// with the code they carry and the value now in force.
std::optional<AnswerReport> SimFirmware::answer_command(uint8_t code, const uint8_t* p) {
  switch (code) {
    case 0x04: return status(4, fe_status);
    case 0x09: return status(9, firmware_version);
    case 0x0A: return status(10, p[0]);  // the console echoes
    case 0x0E: return status(14, sample_rate);
    case 0x0F: return status(15, rx_mode);
    case 0x10: return status(16, ip_address);
    case 0x11: return status(17, ip_mask);
    case 0x12: return status(18, gateway);
    case 0x13: return status(19, dest_ip);
    case 0x14: return status(20, dest_port);
    case 0x15: ip_address = le32(p); return status(code, ip_address);
    case 0x16: ip_mask = le32(p); return status(code, ip_mask);
    case 0x17: gateway = le32(p); return status(code, gateway);
    case 0x19: dest_port = le32(p); return status(code, dest_port);
    case 0x1D: return status(29, serial_number);
    case 0x1E: sample_rate = le32(p); return status(code, sample_rate);
    case 0x1F: vco_value = le16(p) & 0xFFF; return status(code, vco_value);
    case 0x20: return status(32, vco_value);
    case 0x21: gain_table = le16(p); return status(code, gain_table);
    case 0x22: return status(34, gain_table);
    case 0x24: return status(36, sync_word);
    case 0x25: return status(37, hw_version);
    case 0x28: broadcast = p[0]; return status(41, broadcast);
    case 0x30: rx_mode = p[0]; return status(code, rx_mode);
    case 0x31: multicast = p[0]; return status(code, multicast);
    case 0x32: sdr_id = p[0]; return status(code, sdr_id);
    case 0x33: return status(51, sdr_id);
    case 0x36: return status(54, dhcp_server);
    case 0x37: dhcp_server = p[0]; return status(code, dhcp_server);
    case 0x45: agc_mask = p[0] & 15; return status(code, agc_mask);
    case 0x46: return status(70, channel_gains);
    case 0x47: return status(71, agc_mask);
    case 0x48: stream_number = p[0]; return status(72, stream_number);
    case 0x4C: return status(76, dhcp_client);
    case 0x4D: dhcp_client = p[0]; return status(code, dhcp_client);
    case 0x55:
      if (p[0] == 0) return status(85, main_clock & 0xFFFF);
      return status(85, (1u << 16) | (main_clock >> 16));
    case 0x5A: vhf_ref_clock = le32(p); return status(code, vhf_ref_clock);
    case 0x5B: return status(91, vhf_ref_clock);
    default: return status(code, le32(p));
  }
}
