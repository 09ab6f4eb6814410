// Inputs from outside that the fuzz targets (fuzz/, scripts/fuzz.sh) found
// to misbehave, each kept as the small byte array that showed it, through
// the same path the target fed it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "usb/commands.h"

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
