#include "sim/sim_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<bool> verbose{getenv("WAVEDECK_SIM_VERBOSE") != nullptr};
}

void sim_set_verbose(bool on) { verbose = on; }

void sim_log(const char* format, ...) {
  if (!verbose) return;
  va_list args;
  va_start(args, format);
  fputs("receiver_sim: ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
}
