#include "usb/commands.h"

#include "usb/device_link.h"

namespace {

struct Report {
  unsigned char bytes[REPORT_BYTES] = {};
};

void put16(Report& r, int at, uint32_t value) {
  r.bytes[at] = static_cast<unsigned char>(value);
  r.bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void put32(Report& r, int at, uint32_t value) {
  put16(r, at, value);
  put16(r, at + 2, value >> 16);
}

Report command(uint8_t code) {
  Report r;
  r.bytes[0] = REPORT_COMMAND;
  r.bytes[1] = code;
  return r;
}

int send(const Report& r) { return send_command(r.bytes); }

// Commands with no parameter, one byte at b2 (and b3), or a 16/32-bit value at b2.
int plain(uint8_t code) { return send(command(code)); }

int with_bytes(uint8_t code, uint8_t b2, uint8_t b3 = 0) {
  Report r = command(code);
  r.bytes[2] = b2;
  r.bytes[3] = b3;
  return send(r);
}

int with16(uint8_t code, uint16_t value) {
  Report r = command(code);
  put16(r, 2, value);
  return send(r);
}

int with32(uint8_t code, uint32_t value) {
  Report r = command(code);
  put32(r, 2, value);
  return send(r);
}

int save_pair(uint8_t low_index, uint8_t high_index, uint32_t value) {
  CMD_SAVE_PARAMETER(low_index, static_cast<uint16_t>(value));
  wait_command_done();
  return CMD_SAVE_PARAMETER(high_index, static_cast<uint16_t>(value >> 16));
}

uint32_t le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

int CMD_SAVE_PARAMETER(uint8_t index, uint16_t value) {
  Report r;
  r.bytes[0] = REPORT_SAVE_PARAMETER;
  r.bytes[1] = 0x56;
  r.bytes[2] = index;
  put16(r, 3, value);
  return send(r);
}

int CMD_SAVE_MAIN_CLOCK(uint32_t hz) { return save_pair(PARAM_MAIN_CLOCK_LOW, PARAM_MAIN_CLOCK_HIGH, hz); }

int CMD_SAVE_SAMPLE_RATE(uint32_t rate, int rx_mode) {
  if (rx_mode == 0 || rx_mode == 3) return save_pair(PARAM_SINGLE_RATE_LOW, PARAM_SINGLE_RATE_HIGH, rate);
  return save_pair(PARAM_MULTI_RATE_LOW, PARAM_MULTI_RATE_HIGH, rate);
}

int CMD_SAVE_RX_MODE(int rx_mode) { return CMD_SAVE_PARAMETER(PARAM_RX_MODE, static_cast<uint16_t>(rx_mode)); }
int CMD_SAVE_VCO(int offset) { return CMD_SAVE_PARAMETER(PARAM_VCO, vco_wire_value(offset)); }

int CMD_SET_FREQUENCY(uint32_t hz, uint8_t channel) {
  Report r;
  r.bytes[0] = REPORT_SET_FREQUENCY;
  put32(r, 1, hz);
  r.bytes[5] = channel;
  return send(r);
}

int CMD_SET_FE_GAIN(int fe_gain_index, uint8_t channel) {
  return with_bytes(0x02, static_cast<uint8_t>(fe_gain_wire_value(fe_gain_index)), channel);
}
int CMD_QUERY_FE_STATUS() { return with_bytes(0x04, 0xFB); }
int CMD_SET_RF_GAIN(uint8_t gain_code, uint8_t channel) { return with_bytes(0x08, gain_code, channel); }
int CMD_QUERY_FIRMWARE_VERSION() { return plain(0x09); }
int CMD_CONSOLE_CHAR(char c) { return with_bytes(0x0A, static_cast<uint8_t>(c)); }
int CMD_ROUTE_CONSOLE_TO_HID(bool on) { return with_bytes(0x0B, on ? 1 : 0); }
int CMD_SAVE_DEFAULTS() { return with_bytes(0x0C, 0xF3); }
int CMD_QUERY_SAMPLE_RATE() { return plain(0x0E); }
int CMD_QUERY_RX_MODE() { return plain(0x0F); }
int CMD_QUERY_IP_ADDRESS() { return plain(0x10); }
int CMD_QUERY_IP_MASK() { return plain(0x11); }
int CMD_QUERY_GATEWAY() { return plain(0x12); }
int CMD_QUERY_DEST_IP() { return plain(0x13); }
int CMD_QUERY_DEST_PORT() { return plain(0x14); }
int CMD_SET_IP_ADDRESS(uint32_t ipv4) { return with32(0x15, ipv4); }
int CMD_SET_IP_MASK(uint32_t ipv4) { return with32(0x16, ipv4); }
int CMD_SET_GATEWAY(uint32_t ipv4) { return with32(0x17, ipv4); }
int CMD_SET_DEST_PORT(uint32_t port) { return with32(0x19, port); }
int CMD_SET_USB_STREAMING(bool start) { return with_bytes(0x1A, start ? 1 : 0); }
int CMD_QUERY_SERIAL_NUMBER() { return plain(0x1D); }
int CMD_SET_SAMPLE_RATE(uint32_t rate) { return with32(0x1E, rate); }
int CMD_SET_VCO_COMPENSATION(int offset) { return with16(0x1F, vco_wire_value(offset)); }
int CMD_QUERY_VCO_VOLTAGE() { return plain(0x20); }
int CMD_SAVE_GAIN_TABLE(uint16_t word) { return with16(0x21, word); }
int CMD_QUERY_GAIN_TABLE() { return plain(0x22); }
int CMD_SET_I2C_OUTPUT(uint16_t word) { return with16(0x23, word); }
int CMD_QUERY_SYNC_STATE() { return plain(0x24); }
int CMD_QUERY_HW_VERSION() { return plain(0x25); }
int CMD_FIRMWARE_UPGRADE() { return plain(0x26); }
int CMD_SET_BROADCAST(bool on) { return with_bytes(0x28, on ? 1 : 0); }
int CMD_SET_BYPASS_LPF(bool bypass) { return with_bytes(0x2A, bypass ? 1 : 0); }
int CMD_SET_RX_MODE(uint8_t rx_mode, uint8_t channel) { return with_bytes(0x30, rx_mode, channel); }
int CMD_SET_MULTICAST(bool on) { return with_bytes(0x31, on ? 1 : 0); }
int CMD_SET_SDR_ID(uint8_t index) { return with_bytes(0x32, index); }
int CMD_QUERY_SDR_ID() { return plain(0x33); }
int CMD_SAVE_SDR_ID(uint8_t index) { return with_bytes(0x34, index); }
int CMD_RESET() { return plain(0x35); }
int CMD_QUERY_DHCP_SERVER() { return plain(0x36); }
int CMD_SET_DHCP_SERVER(uint8_t state) { return with_bytes(0x37, state); }
int CMD_SET_PHASE_SHIFT(uint16_t phase, uint8_t channel) {
  Report r = command(0x38);
  put16(r, 2, phase);
  r.bytes[4] = channel;
  return send(r);
}
int CMD_SET_USB_MODE(uint8_t mode) { return with_bytes(0x44, mode); }
int CMD_SET_AGC_MASK(uint8_t mask) { return with_bytes(0x45, mask); }
int CMD_QUERY_CHANNEL_GAINS() { return with_bytes(0x46, 0); }
int CMD_QUERY_AGC_STATE() { return plain(0x47); }
int CMD_SET_STREAM_NUMBER(uint8_t stream) { return with_bytes(0x48, stream); }
int CMD_SET_MULTI_STREAM(uint8_t value) { return with_bytes(0x4A, value); }
int CMD_SET_LEDS_OFF(bool off) { return with_bytes(0x4B, off ? 1 : 0); }
int CMD_QUERY_DHCP_CLIENT() { return plain(0x4C); }
int CMD_SET_DHCP_CLIENT(uint8_t state) { return with_bytes(0x4D, state); }
int CMD_SET_R820T_FREQUENCY(uint32_t hz) { return with32(0x4E, hz); }
int CMD_SET_R820T_LNA_GAIN(uint8_t gain) { return with_bytes(0x4F, gain); }
int CMD_SET_R820T_MIX_GAIN(uint8_t gain) { return with_bytes(0x50, gain); }
int CMD_SET_R820T_VGA_GAIN(uint8_t gain) { return with_bytes(0x51, gain); }
int CMD_SET_R820T_LNA_AGC(bool on) { return with_bytes(0x52, on ? 1 : 0); }
int CMD_SET_R820T_MIX_AGC(bool on) { return with_bytes(0x53, on ? 1 : 0); }
int CMD_SET_R820T_IF_BW(uint8_t bandwidth) { return with_bytes(0x54, bandwidth); }
int CMD_QUERY_MAIN_CLOCK(uint8_t half) { return with_bytes(0x55, half); }
int CMD_SET_R820T_POWER(bool on) { return with_bytes(0x57, on ? 1 : 0); }
int CMD_SET_R820T_HP_BW(uint8_t position) { return with_bytes(0x58, position); }
int CMD_SET_R820T_LP_BW(uint8_t position) { return with_bytes(0x59, position); }
int CMD_SAVE_VHF_REF_CLOCK(uint32_t hz) { return with32(0x5A, hz); }
int CMD_QUERY_VHF_REF_CLOCK() { return plain(0x5B); }
int CMD_SET_MODULATION(uint8_t index) { return with_bytes(0x5E, index); }
int CMD_LCD_CALIBRATION() { return with_bytes(0x5F, 1); }
int CMD_SDR_INIT() { return with_bytes(0xE1, 0x1E); }

Answer decode_answer(const unsigned char* report) {
  Answer answer;
  if (report[0] == ANSWER_STATUS) {
    answer.kind = Answer::Status;
    answer.code = report[1];
    answer.value = le32(report + 2);
  } else if (report[0] == ANSWER_FREQUENCY) {
    answer.kind = Answer::Frequency;
    answer.value = le32(report + 1);
  }
  return answer;
}

uint32_t ipv4_value(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return (static_cast<uint32_t>(a) << 24) | (b << 16) | (c << 8) | d;
}

void ipv4_octets(uint32_t value, uint8_t octets[4]) {
  for (int i = 0; i < 4; ++i) octets[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

uint16_t vco_wire_value(int offset) { return static_cast<uint16_t>((offset + 2048) & 0xFFF); }

// In unsigned arithmetic: an answer far outside the 12-bit range (a faulty
// receiver, a corrupted report) wraps instead of overflowing an int.
int vco_offset_from_answer(uint32_t value) { return static_cast<int>(value - 2048u); }

uint16_t pack_gain_table(const int row_db[4]) {
  uint32_t word = 0;
  for (int row = 0; row < 4; ++row) {
    // Unsigned arithmetic: an out-of-range row gives a defined (truncated)
    // word rather than a shift of a negative number.
    const uint32_t field = static_cast<uint32_t>((row_db[row] + 10) / 3);
    word |= field << (12 - 4 * row);
  }
  return static_cast<uint16_t>(word);
}

void unpack_gain_table(uint32_t word, int row_db[4]) {
  for (int row = 0; row < 4; ++row) row_db[row] = static_cast<int>((word >> (12 - 4 * row)) & 0xF) * 3 - 10;
}

int channel_gain_db(uint8_t gain_byte) { return (gain_byte >> 3) * 3 - 10; }

void channel_gains_db(uint32_t value, int gains_db[4]) {
  for (int channel = 0; channel < 4; ++channel)
    gains_db[channel] = channel_gain_db(static_cast<uint8_t>(value >> (8 * channel)));
}

int fe_gain_wire_value(int fe_gain_index) { return fe_gain_index + 1; }

double rf_gain_db(int generation, int dial_value) {
  if (generation == 1) {
    const long double v = 2.0L * dial_value;
    return static_cast<double>(v * 1.5L / 255.0L * 20.0L / 0.6L - 6.020599913279624L);
  }
  return (dial_value >> 3) * 3 - 10;
}

ClockHalf apply_main_clock_half(uint32_t value, uint32_t* main_clock) {
  const uint32_t upper = value >> 16;
  const uint32_t lower = value & 0xFFFF;
  if (upper == 0) {
    *main_clock = lower;
    return ClockHalf::Low;
  }
  if (upper == 1) {
    *main_clock = (lower << 16) | *main_clock;
    if (*main_clock == 0) *main_clock = DEFAULT_MAIN_CLOCK_HZ;
    return ClockHalf::High;
  }
  return ClockHalf::Ignored;
}
