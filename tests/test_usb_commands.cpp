// The command set as it travels, and the decoding of answers and value scales.
#include <functional>
#include <vector>

#include "test_usb_support.h"
#include "usb/commands.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct WireCase {
  const char* label;
  int report_bytes;  // 7: receiver 0x255D/0x0002; 5: receiver 0x0483/0x5932
  std::function<int()> send;
  std::vector<Bytes> on_the_wire;
};
void PrintTo(const WireCase& c, std::ostream* os) { *os << c.label; }

class CommandWire : public UsbLinkTest, public ::testing::WithParamInterface<WireCase> {};

const int GAIN_ROWS[4] = {11, 8, 2, -4};

}  // namespace

TEST_P(CommandWire, ReportsAreByteExact) {
  const WireCase& c = GetParam();
  if (c.report_bytes == 5)
    hid_sim::attach(0x0483, 0x5932);
  else
    hid_sim::attach(0x255D, 0x0002);
  ASSERT_EQ(open_device_link(name_), 1);
  EXPECT_EQ(c.send(), c.report_bytes);
  std::vector<Bytes> wire;
  for (const hid_sim::Write& w : hid_sim::writes()) wire.push_back(w.bytes);
  EXPECT_EQ(wire, c.on_the_wire);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandWire,
    ::testing::Values(
        WireCase{"Frequency", 7, [] { return CMD_SET_FREQUENCY(7050000, 0); },
                 {{0x03, 0x10, 0x93, 0x6B, 0x00, 0x00, 0x00}}},
        WireCase{"FrequencyToFiveByteReceiver", 5, [] { return CMD_SET_FREQUENCY(7050000, 0); },
                 {{0x03, 0x10, 0x93, 0x6B, 0x00}}},
        WireCase{"R820TFrequency", 7, [] { return CMD_SET_R820T_FREQUENCY(100000000); },
                 {{0x02, 0x4E, 0x00, 0xE1, 0xF5, 0x05, 0x00}}},
        WireCase{"R820TFrequencyToFiveByteReceiver", 5, [] { return CMD_SET_R820T_FREQUENCY(100000000); },
                 {{0x02, 0x4E, 0x00, 0xE1, 0xF5}}},
        WireCase{"SampleRateSaveSingleChannel", 7, [] { return CMD_SAVE_SAMPLE_RATE(1000000, 0); },
                 {{0x01, 0x56, 0x06, 0x40, 0x42, 0x00, 0x00}, {0x01, 0x56, 0x07, 0x0F, 0x00, 0x00, 0x00}}},
        WireCase{"SampleRateSaveDiversitySingle", 7, [] { return CMD_SAVE_SAMPLE_RATE(1000000, 3); },
                 {{0x01, 0x56, 0x06, 0x40, 0x42, 0x00, 0x00}, {0x01, 0x56, 0x07, 0x0F, 0x00, 0x00, 0x00}}},
        WireCase{"SampleRateSaveDualChannel", 7, [] { return CMD_SAVE_SAMPLE_RATE(1000000, 2); },
                 {{0x01, 0x56, 0x09, 0x40, 0x42, 0x00, 0x00}, {0x01, 0x56, 0x0A, 0x0F, 0x00, 0x00, 0x00}}},
        WireCase{"MainClockSave", 7, [] { return CMD_SAVE_MAIN_CLOCK(80000000); },
                 {{0x01, 0x56, 0x00, 0x00, 0xB4, 0x00, 0x00}, {0x01, 0x56, 0x01, 0xC4, 0x04, 0x00, 0x00}}},
        WireCase{"VcoLowest", 7, [] { return CMD_SET_VCO_COMPENSATION(-2048); },
                 {{0x02, 0x1F, 0x00, 0x00, 0x00, 0x00, 0x00}}},
        WireCase{"VcoCentre", 7, [] { return CMD_SET_VCO_COMPENSATION(0); },
                 {{0x02, 0x1F, 0x00, 0x08, 0x00, 0x00, 0x00}}},
        WireCase{"VcoHighest", 7, [] { return CMD_SET_VCO_COMPENSATION(2047); },
                 {{0x02, 0x1F, 0xFF, 0x0F, 0x00, 0x00, 0x00}}},
        WireCase{"VcoSave", 7, [] { return CMD_SAVE_VCO(2047); },
                 {{0x01, 0x56, 0x1B, 0xFF, 0x0F, 0x00, 0x00}}},
        WireCase{"GainTable", 7, [] { return CMD_SAVE_GAIN_TABLE(pack_gain_table(GAIN_ROWS)); },
                 {{0x02, 0x21, 0x42, 0x76, 0x00, 0x00, 0x00}}},
        WireCase{"IpAddress", 7, [] { return CMD_SET_IP_ADDRESS(ipv4_value(192, 168, 0, 8)); },
                 {{0x02, 0x15, 0x08, 0x00, 0xA8, 0xC0, 0x00}}},
        WireCase{"MainClockQueries", 7, [] { CMD_QUERY_MAIN_CLOCK(0); return CMD_QUERY_MAIN_CLOCK(1); },
                 {{0x02, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x02, 0x55, 0x01, 0x00, 0x00, 0x00, 0x00}}},
        WireCase{"FeGainTravelsAsIndexPlusOne", 7, [] { return CMD_SET_FE_GAIN(6, 2); },
                 {{0x02, 0x02, 0x07, 0x02, 0x00, 0x00, 0x00}}},
        WireCase{"FeStatusQuery", 7, [] { return CMD_QUERY_FE_STATUS(); },
                 {{0x02, 0x04, 0xFB, 0x00, 0x00, 0x00, 0x00}}},
        WireCase{"PhaseShift", 7, [] { return CMD_SET_PHASE_SHIFT(0x1234, 3); },
                 {{0x02, 0x38, 0x34, 0x12, 0x03, 0x00, 0x00}}},
        WireCase{"SdrInit", 7, [] { return CMD_SDR_INIT(); }, {{0x02, 0xE1, 0x1E, 0x00, 0x00, 0x00, 0x00}}}),
    [](const ::testing::TestParamInfo<WireCase>& info) { return std::string(info.param.label); });

TEST(Answers, AreDecodedByReportId) {
  const unsigned char status[7] = {0x06, 0x09, 0x23, 0x05, 0x00, 0x00, 0x00};
  Answer a = decode_answer(status);
  EXPECT_EQ(a.kind, Answer::Status);
  EXPECT_EQ(a.code, 9);
  EXPECT_EQ(a.value, 0x0523u);

  const unsigned char tuned[7] = {0x07, 0x10, 0x93, 0x6B, 0x00, 0x00, 0x00};
  a = decode_answer(tuned);
  EXPECT_EQ(a.kind, Answer::Frequency);
  EXPECT_EQ(a.value, 7050000u);

  for (unsigned char id : {0x00, 0x05, 0x08, 0xFF}) {
    const unsigned char other[7] = {id, 0x09, 1, 2, 3, 4, 0};
    EXPECT_EQ(decode_answer(other).kind, Answer::Other) << int(id);
  }
}

TEST(ValueScales, DecodeAsTheWindowShowsThem) {
  EXPECT_EQ(vco_offset_from_answer(2048), 0);
  EXPECT_EQ(vco_offset_from_answer(0), -2048);

  int rows[4];
  unpack_gain_table(0x7642, rows);
  EXPECT_EQ(std::vector<int>(rows, rows + 4), (std::vector<int>{11, 8, 2, -4}));

  // Answer 70 with value bytes 20 40 60 80.
  const unsigned char answer70[7] = {0x06, 70, 0x20, 0x40, 0x60, 0x80, 0};
  int gains[4];
  channel_gains_db(decode_answer(answer70).value, gains);
  EXPECT_EQ(std::vector<int>(gains, gains + 4), (std::vector<int>{2, 14, 26, 38}));

  uint8_t octets[4];
  ipv4_octets(ipv4_value(192, 168, 0, 8), octets);
  EXPECT_EQ(Bytes(octets, octets + 4), (Bytes{192, 168, 0, 8}));

  EXPECT_EQ(rf_gain_db(2, 16), -4);
  EXPECT_EQ(rf_gain_db(2, 127), 35);
  EXPECT_EQ(rf_gain_db(2, 0), -10);
  EXPECT_NEAR(rf_gain_db(1, 127), 43.78, 0.005);
  EXPECT_NEAR(rf_gain_db(1, 0), -6.0206, 0.0001);
}

TEST(MainClock, IsAssembledFromItsHalves) {
  uint32_t clock = 12345;
  EXPECT_EQ(apply_main_clock_half(0xB400, &clock), ClockHalf::Low);
  EXPECT_EQ(clock, 0xB400u);
  EXPECT_EQ(apply_main_clock_half(0x104C4, &clock), ClockHalf::High);
  EXPECT_EQ(clock, 80000000u);

  EXPECT_EQ(apply_main_clock_half(0x0, &clock), ClockHalf::Low);
  EXPECT_EQ(apply_main_clock_half(0x10000, &clock), ClockHalf::High);
  EXPECT_EQ(clock, 80000000u) << "a pair that assembles to 0 means the default clock";

  EXPECT_EQ(apply_main_clock_half(0x2ABCD, &clock), ClockHalf::Ignored);
  EXPECT_EQ(clock, 80000000u);
}
