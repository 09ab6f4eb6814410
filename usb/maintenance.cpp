#include "usb/maintenance.h"

#include <cctype>
#include <climits>
#include <cmath>

int calibrated_main_clock(float test_hz, float measured_hz, uint32_t main_clock) {
  if (test_hz == 0.0f) return 0;
  const long double t = test_hz;
  const long double m = measured_hz;
  const long double c = ((2.0L * t - m) / t) * static_cast<long double>(main_clock);
  if (std::isnan(c)) return 0;
  if (c >= static_cast<long double>(INT_MAX)) return INT_MAX;
  if (c <= static_cast<long double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(c);
}

SaveOutcome save_outcome(int send_result, bool hid_open) {
  if (send_result > 0) return SaveOutcome::Saved;
  // A transport failure (< 0) is not a success, and the link it failed on
  // exists, so the value is not diverted to the settings either.
  if (send_result < 0 || hid_open) return SaveOutcome::Failed;
  return SaveOutcome::Disconnected;
}

uint16_t parse_i2c_word(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (end - begin >= 2 && text[begin] == '0' && (text[begin + 1] == 'x' || text[begin + 1] == 'X'))
    begin += 2;
  if (begin == end) return 0;
  uint32_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (!std::isxdigit(ch)) return 0;
    value = value * 16 + static_cast<uint32_t>(std::isdigit(ch) ? ch - '0' : std::tolower(ch) - 'a' + 10);
    if (value > 0xFFFF) return 0;
  }
  return static_cast<uint16_t>(value);
}
