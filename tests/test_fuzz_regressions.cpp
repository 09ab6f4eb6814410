// Inputs from outside that the fuzz targets (fuzz/, scripts/fuzz.sh) found
// to misbehave, each kept as the small byte array that showed it, through
// the same path the target fed it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/window_fixture.h"
#include "usb/commands.h"
#include "window/mainwindow.h"

// A VCO answer (code 32) whose value is far outside the 12-bit range: the
// offset value - 2048 overflowed an int (fuzz_answer).
TEST(FuzzRegression, VcoAnswerOutsideTwelveBitsWraps) {
  const unsigned char report[7] = {0x06, 0x20, 0x00, 0x00, 0x00, 0x80, 0x00};
  const Answer answer = decode_answer(report);
  ASSERT_EQ(answer.kind, Answer::Status);
  ASSERT_EQ(answer.code, 32);
  EXPECT_EQ(vco_offset_from_answer(answer.value), 0x7FFFF800);  // 0x80000000 - 2048
  // In range nothing changes.
  EXPECT_EQ(vco_offset_from_answer(0), -2048);
  EXPECT_EQ(vco_offset_from_answer(4095), 2047);
}

// Settings files whose inversion factor is neither +1 nor -1, or whose
// frequencies add up beyond the int range: building the window multiplied
// and added them in int (fuzz_settings_file). The factor counts by its sign;
// the displayed LO wraps in 32 bits as everywhere else.
TEST(FuzzRegression, SettingsFileOutOfRangeFactorsAndFrequencies) {
  struct Case {
    const char* file;
    int inversion;
    int display_frequency;
  } cases[] = {
      {"[General]\ninversion_flag=100\n", 1, 28050000},
      {"[General]\ninversion_flag=-2147483648\nfrequency_ch1=-2147483648\n", -1, INT32_MIN},
      {"[General]\nfrequency_ch1=2147483647\nheterodyne_frequency=2147483647\n", 1, -2},
  };
  for (const Case& c : cases) {
    use_settings(c.file);
    MainWindow window;
    EXPECT_EQ(window.inversion, c.inversion) << c.file;
    EXPECT_EQ(window.display_frequency, c.display_frequency) << c.file;
  }
}
