#include "net/sample_rate_check.h"

#include <cmath>

namespace {

double round_half_up(double x) {
  const double whole = std::floor(x);
  return x - whole >= 0.5 ? whole + 1 : whole;
}

}  // namespace

uint32_t deliverable_sample_rate(uint32_t requested, uint32_t main_clock) {
  if (requested == 0 || main_clock == 0) return 0;
  double divisor = round_half_up(main_clock / (requested * 4.0));
  if (divisor < 1) divisor = 1;
  // main_clock / 4 fits in 32 bits, so the conversion is defined.
  return static_cast<uint32_t>(round_half_up(main_clock / (divisor * 4.0)));
}
