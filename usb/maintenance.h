// The receiver's service functions as plain values: which entries may be
// stored, the main-clock calibration, how a two-part save turned out, the I2C
// output word. The tools page of the window is a thin layer over these.
#pragma once

#include <cstdint>
#include <string>

constexpr int SAMPLE_RATE_MIN = 16001;
constexpr int SAMPLE_RATE_MAX = 1299999;
constexpr int MAIN_CLOCK_MIN = 1;
constexpr int MAIN_CLOCK_MAX = 100999999;

inline bool sample_rate_storable(int rate) { return rate >= SAMPLE_RATE_MIN && rate <= SAMPLE_RATE_MAX; }
inline bool main_clock_storable(int hz) { return hz >= MAIN_CLOCK_MIN && hz <= MAIN_CLOCK_MAX; }

// ((2t - m) / t) * main_clock in extended precision, truncated toward zero:
// the main clock that makes a test signal of t Hz, seen at m Hz, show at t.
// A test frequency of 0 (or a result that is not a number) gives 0, and a
// result beyond int is clamped; both lie outside the storable main-clock
// range, so "Save Main Clock" refuses them.
int calibrated_main_clock(float test_hz, float measured_hz, uint32_t main_clock);

// How a save to the receiver's memory ended, from the second send's result.
enum class SaveOutcome {
  Saved,         // handed to the link
  Failed,        // a link is there but the report did not get through
  Disconnected,  // no link at all: the value goes to the settings instead
};
SaveOutcome save_outcome(int send_result, bool hid_open);

// An unsigned 16-bit hexadecimal word with an optional "0x"/"0X" prefix and
// surrounding blanks; anything else (including more than 16 bits) gives 0.
uint16_t parse_i2c_word(const std::string& text);
