// The service functions' values: calibration, the outcome of a save, the I2C word.
#include <gtest/gtest.h>

#include <climits>

#include "usb/maintenance.h"

TEST(Calibration, CorrectsTheMainClockByTheMeasuredOffset) {
  EXPECT_EQ(calibrated_main_clock(10000000.0f, 10000100.0f, 80000000), 79999200);
  EXPECT_EQ(calibrated_main_clock(10000000.0f, 9999900.0f, 80000000), 80000800);
  EXPECT_EQ(calibrated_main_clock(7040000.0f, 7040000.0f, 80000000), 80000000);
}

TEST(Calibration, ImpossibleInputsGiveAValueThatCannotBeStored) {
  // A test frequency of 0 divides by zero; huge ratios leave int.
  EXPECT_EQ(calibrated_main_clock(0.0f, 10000100.0f, 80000000), 0);
  EXPECT_EQ(calibrated_main_clock(0.0f, 0.0f, 80000000), 0);
  EXPECT_EQ(calibrated_main_clock(1.0f, -1e30f, 80000000), INT_MAX);
  EXPECT_EQ(calibrated_main_clock(1.0f, 1e30f, 80000000), INT_MIN);
  EXPECT_EQ(calibrated_main_clock(1.0f, __builtin_nanf(""), 80000000), 0);
  for (int c : {0, INT_MAX, INT_MIN}) EXPECT_FALSE(main_clock_storable(c));
}

TEST(SaveOutcome, OnlyAHandedOverReportCountsAsSaved) {
  EXPECT_EQ(save_outcome(7, true), SaveOutcome::Saved);
  EXPECT_EQ(save_outcome(0, true), SaveOutcome::Failed);
  EXPECT_EQ(save_outcome(0, false), SaveOutcome::Disconnected);
  // A transport failure is neither a success nor a missing link.
  EXPECT_EQ(save_outcome(-1, true), SaveOutcome::Failed);
  EXPECT_EQ(save_outcome(-1, false), SaveOutcome::Failed);
}

TEST(I2cWord, HexWithOptionalPrefixElseZero) {
  const struct {
    const char* text;
    uint16_t word;
  } cases[] = {{"0x0001", 0x0001}, {"0X00fF", 0x00FF}, {"1234", 0x1234}, {" ffff ", 0xFFFF},
               {"0x10000", 0},     {"0x", 0},         {"", 0},          {"12g4", 0},
               {"-1", 0}};
  for (const auto& c : cases) EXPECT_EQ(parse_i2c_word(c.text), c.word) << '"' << c.text << '"';
}
