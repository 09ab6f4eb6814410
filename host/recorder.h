// extio_host record: opens and starts the receiver through the plug-in,
// records the sample blocks its callback delivers and stops and closes it
// again, also when interrupted (SIGINT, SIGTERM).
#pragma once

#include <string>

#include "host/plugin_loader.h"

struct RecordOptions {
  double seconds = 10;
  std::string out;       // WAV file, or "-" for raw I/Q on standard output
  long lo_frequency = -1;  // StartHW's frequency; -1: what GetHWLO reports
  // Beyond `seconds`, how long to wait for blocks that are late (the link's
  // start-up) before giving up with what has arrived.
  double grace_seconds = 15;
};

// Records and prints a progress line each second and a closing summary on
// standard error. 0: the full length was recorded; 1: a failure (no
// receiver, no blocks in time, a write error); 130: interrupted, the file
// holding what was recorded until then.
int run_record(ExtioPlugin& plugin, const RecordOptions& options);
