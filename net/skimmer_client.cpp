#include "net/skimmer_client.h"

#include <cstdio>

const char SKIMMER_LOGIN_PROMPT[] = "Please enter your callsign:";

namespace {

template <typename... Args>
std::string format_command(const char* format, Args... args) {
  char line[SKIMMER_COMMAND_BYTES] = {};
  std::snprintf(line, sizeof line, format, args...);
  return std::string(line);  // up to the first zero byte
}

}  // namespace

std::string skimmer_lo_command(long frequency_hz) {
  return format_command("SKIMMER/LO_FREQ %li\r\n", frequency_hz);
}

std::string skimmer_qsy_command(int frequency_hz) {
  const float khz = static_cast<float>(frequency_hz) / 1000.0f;
  return format_command("SKIMMER/QSY %.2f\r\n", static_cast<double>(khz));
}

std::string skimmer_login(const std::string& callsign) { return callsign + "\r\n"; }

bool holds_login_prompt(const std::string& chunk) {
  return chunk.find(SKIMMER_LOGIN_PROMPT) != std::string::npos;
}

bool skimmer_take_turn(int* awaiting) {
  if (*awaiting) return false;
  *awaiting = 1;
  return true;
}
