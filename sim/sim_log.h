// Diagnostics of the simulated receiver, on stderr, only when asked for
// (receiver_sim --verbose or WAVEDECK_SIM_VERBOSE=1).
#pragma once

void sim_set_verbose(bool on);
void sim_log(const char* format, ...) __attribute__((format(printf, 1, 2)));
