// Which sample rates a receiver can deliver exactly: its rates are the main
// clock divided by 4 × n for a whole number n.
#pragma once

#include <cstdint>

// The rate the receiver really delivers when `requested` is asked of a
// receiver whose main clock runs at `main_clock` Hz: the nearest divisor n
// (rounded half up) gives main_clock / (4 × n), rounded half up. A request of
// 0, or a clock of 0, gives 0; a request above main_clock / 4 gives the top
// rate main_clock / 4 (n is at least 1), so no division by zero occurs.
uint32_t deliverable_sample_rate(uint32_t requested, uint32_t main_clock);

// True when `requested` is delivered exactly.
inline bool sample_rate_is_exact(uint32_t requested, uint32_t main_clock) {
  return deliverable_sample_rate(requested, main_clock) == requested;
}
