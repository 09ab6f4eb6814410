// What the window's telnet client says to a CW skimmer program on this PC:
// its command lines, the login, and the rule that at most one command waits
// for the skimmer's reply (a command that meets a waiting one is dropped).
#pragma once

#include <string>

constexpr int SKIMMER_COMMAND_BYTES = 64;  // longer command lines are cut
extern const char SKIMMER_LOGIN_PROMPT[];  // "Please enter your callsign:"

// "SKIMMER/LO_FREQ <Hz>\r\n": the receiver's tuned frequency.
std::string skimmer_lo_command(long frequency_hz);
// "SKIMMER/QSY <kHz with two decimals>\r\n": the host's tune frequency, in
// kHz computed in single precision.
std::string skimmer_qsy_command(int frequency_hz);
// The callsign (Latin-1 bytes) and CR LF.
std::string skimmer_login(const std::string& callsign);
// Whether a received chunk holds the whole login prompt.
bool holds_login_prompt(const std::string& chunk);

// The one-command-awaiting-reply rule over the window's awaiting flag.
// May `command` be written now? If so the flag is raised.
bool skimmer_take_turn(int* awaiting);
// Anything received from the skimmer lowers the flag.
inline void skimmer_reply_seen(int* awaiting) { *awaiting = 0; }
