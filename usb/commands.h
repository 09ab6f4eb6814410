// The receiver's command set: every command as one operation that builds its
// 7-byte report (report id, code, little-endian parameters) and hands it to
// send_command(). Each returns send_command()'s result: >0 handed to the link,
// 0 no link, -1 transport failure. Nothing waits for an answer; answers are
// decoded by the functions at the end and dispatched by the status poll.
#pragma once

#include <cstdint>

constexpr int REPORT_BYTES = 7;
constexpr uint8_t REPORT_SAVE_PARAMETER = 1;
constexpr uint8_t REPORT_COMMAND = 2;
constexpr uint8_t REPORT_SET_FREQUENCY = 3;
constexpr uint8_t ANSWER_STATUS = 6;
constexpr uint8_t ANSWER_FREQUENCY = 7;
constexpr uint32_t DEFAULT_MAIN_CLOCK_HZ = 80000000;

// Parameter indexes of CMD_SAVE_PARAMETER.
constexpr uint8_t PARAM_MAIN_CLOCK_LOW = 0;
constexpr uint8_t PARAM_MAIN_CLOCK_HIGH = 1;
constexpr uint8_t PARAM_SINGLE_RATE_LOW = 6;  // rate used in RX modes 0 and 3
constexpr uint8_t PARAM_SINGLE_RATE_HIGH = 7;
constexpr uint8_t PARAM_RX_MODE = 8;
constexpr uint8_t PARAM_MULTI_RATE_LOW = 9;  // rate used in every other RX mode
constexpr uint8_t PARAM_MULTI_RATE_HIGH = 10;
constexpr uint8_t PARAM_VCO = 27;

// --- Report id 1: non-volatile parameters --------------------------------
int CMD_SAVE_PARAMETER(uint8_t index, uint16_t value);
// 32-bit values as two saves: low half, wait_command_done(), high half. The
// result is that of the second send.
int CMD_SAVE_MAIN_CLOCK(uint32_t hz);
int CMD_SAVE_SAMPLE_RATE(uint32_t rate, int rx_mode);
int CMD_SAVE_RX_MODE(int rx_mode);
int CMD_SAVE_VCO(int offset);  // offset -2048..2047

// --- Report id 3 -----------------------------------------------------------
int CMD_SET_FREQUENCY(uint32_t hz, uint8_t channel);

// --- Report id 2 -----------------------------------------------------------
int CMD_SET_FE_GAIN(int fe_gain_index, uint8_t channel);  // index 0..6
int CMD_QUERY_FE_STATUS();
int CMD_SET_RF_GAIN(uint8_t gain_code, uint8_t channel);
int CMD_QUERY_FIRMWARE_VERSION();
int CMD_CONSOLE_CHAR(char c);
int CMD_ROUTE_CONSOLE_TO_HID(bool on);
int CMD_SAVE_DEFAULTS();
int CMD_QUERY_SAMPLE_RATE();
int CMD_QUERY_RX_MODE();
int CMD_QUERY_IP_ADDRESS();
int CMD_QUERY_IP_MASK();
int CMD_QUERY_GATEWAY();
int CMD_QUERY_DEST_IP();
int CMD_QUERY_DEST_PORT();
int CMD_SET_IP_ADDRESS(uint32_t ipv4);  // ipv4 as ipv4_value() gives it
int CMD_SET_IP_MASK(uint32_t ipv4);
int CMD_SET_GATEWAY(uint32_t ipv4);
int CMD_SET_DEST_PORT(uint32_t port);
int CMD_SET_USB_STREAMING(bool start);
int CMD_QUERY_SERIAL_NUMBER();
int CMD_SET_SAMPLE_RATE(uint32_t rate);
int CMD_SET_VCO_COMPENSATION(int offset);  // offset -2048..2047
int CMD_QUERY_VCO_VOLTAGE();
int CMD_SAVE_GAIN_TABLE(uint16_t word);  // word as pack_gain_table() gives it
int CMD_QUERY_GAIN_TABLE();
int CMD_SET_I2C_OUTPUT(uint16_t word);
int CMD_QUERY_SYNC_STATE();
int CMD_QUERY_HW_VERSION();
int CMD_FIRMWARE_UPGRADE();
int CMD_SET_BROADCAST(bool on);
int CMD_SET_BYPASS_LPF(bool bypass);
int CMD_SET_RX_MODE(uint8_t rx_mode, uint8_t channel);
int CMD_SET_MULTICAST(bool on);
int CMD_SET_SDR_ID(uint8_t index);
int CMD_QUERY_SDR_ID();
int CMD_SAVE_SDR_ID(uint8_t index);
int CMD_RESET();
int CMD_QUERY_DHCP_SERVER();
int CMD_SET_DHCP_SERVER(uint8_t state);
int CMD_SET_PHASE_SHIFT(uint16_t phase, uint8_t channel);  // channel 2, 3 or 4
int CMD_SET_USB_MODE(uint8_t mode);  // 0 mass storage, 1 audio, 2 HPSDR
int CMD_SET_AGC_MASK(uint8_t mask);  // bit n: AGC on for channel n + 1
int CMD_QUERY_CHANNEL_GAINS();
int CMD_QUERY_AGC_STATE();
int CMD_SET_STREAM_NUMBER(uint8_t stream);
int CMD_SET_MULTI_STREAM(uint8_t value);
int CMD_SET_LEDS_OFF(bool off);
int CMD_QUERY_DHCP_CLIENT();
int CMD_SET_DHCP_CLIENT(uint8_t state);
int CMD_SET_R820T_FREQUENCY(uint32_t hz);
int CMD_SET_R820T_LNA_GAIN(uint8_t gain);  // 0..15
int CMD_SET_R820T_MIX_GAIN(uint8_t gain);  // 0..15
int CMD_SET_R820T_VGA_GAIN(uint8_t gain);  // 0..15
int CMD_SET_R820T_LNA_AGC(bool on);
int CMD_SET_R820T_MIX_AGC(bool on);
int CMD_SET_R820T_IF_BW(uint8_t bandwidth);  // 0..63
int CMD_QUERY_MAIN_CLOCK(uint8_t half);      // 0 low half, 1 high half
int CMD_SET_R820T_POWER(bool on);
int CMD_SET_R820T_HP_BW(uint8_t position);
int CMD_SET_R820T_LP_BW(uint8_t position);
int CMD_SAVE_VHF_REF_CLOCK(uint32_t hz);
int CMD_QUERY_VHF_REF_CLOCK();
int CMD_SET_MODULATION(uint8_t index);
int CMD_LCD_CALIBRATION();
int CMD_SDR_INIT();

// --- Answers and value scales -----------------------------------------------
struct Answer {
  enum Kind { Other, Status, Frequency } kind = Other;
  uint8_t code = 0;     // Status: the code of what it answers
  uint32_t value = 0;   // Status: the value; Frequency: the frequency in Hz
};
Answer decode_answer(const unsigned char* report);

// a.b.c.d as the 32-bit value that travels (and that answers carry).
uint32_t ipv4_value(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
// The four octets a, b, c, d of such a value.
void ipv4_octets(uint32_t value, uint8_t octets[4]);

uint16_t vco_wire_value(int offset);     // (offset + 2048) in 12 bits
int vco_offset_from_answer(uint32_t value);  // value - 2048

// Gains in dB of the rows 0, -10, -20 and -30 dB, each (dB + 10) / 3 in a
// 4-bit field, 0 dB row in the top field.
uint16_t pack_gain_table(const int row_db[4]);
void unpack_gain_table(uint32_t word, int row_db[4]);

int channel_gain_db(uint8_t gain_byte);  // (byte >> 3) * 3 - 10
// The four channel gains of answer 70 (value bytes 0..3 = channels 1..4).
void channel_gains_db(uint32_t value, int gains_db[4]);

int fe_gain_wire_value(int fe_gain_index);  // index + 1

// The RF gain in dB that the window shows for a dial value 0..127.
double rf_gain_db(int generation, int dial_value);

// Answer 85 carries the main clock in halves. Applies one to *main_clock.
enum class ClockHalf { Ignored, Low, High };
ClockHalf apply_main_clock_half(uint32_t value, uint32_t* main_clock);
