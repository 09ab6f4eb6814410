// The skimmer client's command lines and its one-command-awaiting-reply rule.
#include <gtest/gtest.h>

#include <climits>

#include "net/skimmer_client.h"

TEST(SkimmerCommands, LinesAsTheSkimmerReadsThem) {
  EXPECT_EQ(skimmer_lo_command(7000000), "SKIMMER/LO_FREQ 7000000\r\n");
  EXPECT_EQ(skimmer_lo_command(-1), "SKIMMER/LO_FREQ -1\r\n");
  EXPECT_EQ(skimmer_qsy_command(14025500), "SKIMMER/QSY 14025.50\r\n");
  EXPECT_EQ(skimmer_qsy_command(7000010), "SKIMMER/QSY 7000.01\r\n");
  // Single precision: 123,456,789 Hz is 123456.789 kHz only to about 8 digits.
  EXPECT_EQ(skimmer_qsy_command(123456789), "SKIMMER/QSY 123456.79\r\n");
  EXPECT_EQ(skimmer_qsy_command(INT_MIN), "SKIMMER/QSY -2147483.75\r\n");
  EXPECT_EQ(skimmer_login("CA11SIGN"), "CA11SIGN\r\n");
  EXPECT_EQ(skimmer_login("CA11SIGN").size(), 10u);
}

TEST(SkimmerCommands, ALongLineIsCutToTheBuffer) {
  const std::string callsign(100, 'W');  // the login is not a formatted command
  EXPECT_EQ(skimmer_login(callsign).size(), 102u);
  static_assert(SKIMMER_COMMAND_BYTES == 64, "one formatted line fits 63 characters");
  EXPECT_LT(skimmer_lo_command(LONG_MIN).size(), size_t(SKIMMER_COMMAND_BYTES));
}

TEST(SkimmerCommands, PromptMustArriveWhole) {
  EXPECT_TRUE(holds_login_prompt("\r\nCW Skimmer\r\nPlease enter your callsign: "));
  EXPECT_TRUE(holds_login_prompt("Please enter your callsign:"));
  EXPECT_FALSE(holds_login_prompt("Please enter your call"));
  EXPECT_FALSE(holds_login_prompt("sign:"));
}

TEST(SkimmerTurns, OneCommandWaitsForAReply) {
  int awaiting = 0;
  EXPECT_TRUE(skimmer_take_turn(&awaiting));
  EXPECT_FALSE(skimmer_take_turn(&awaiting));
  EXPECT_FALSE(skimmer_take_turn(&awaiting));
  skimmer_reply_seen(&awaiting);
  EXPECT_TRUE(skimmer_take_turn(&awaiting));
}
