// receiver_sim: a simulated Tavrin Rivulet receiver, for trying the software
// without hardware. Each link kind is a subcommand.
#include <cstdio>
#include <cstring>

#include "sim/net_sim.h"
#include "sim/sim_log.h"

int run_msd_receiver(int argc, char** argv);  // sim/msd_receiver.cpp

namespace {

struct Subcommand {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand's name
};

// Each link's simulator adds its entry here.
const Subcommand subcommands[] = {
    {"msd", "mass-storage drive: command.out, command.in, stream.dat (FUSE)", run_msd_receiver},
    {"net", "network receiver: TCP control server, UDP sample streamer", run_net_sim},
    {nullptr, nullptr, nullptr},
};

void print_usage(FILE* out) {
  fprintf(out, "usage: receiver_sim [--verbose] LINK [options]   (LINK --help for its options)\n\nlinks:\n");
  for (const Subcommand& s : subcommands)
    if (s.name) fprintf(out, "  %-10s %s\n", s.name, s.summary);
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  if (first < argc && !strcmp(argv[first], "--verbose")) {
    sim_set_verbose(true);
    ++first;
  }
  if (first >= argc || !strcmp(argv[first], "--help") || !strcmp(argv[first], "-h")) {
    print_usage(first >= argc ? stderr : stdout);
    return first >= argc ? 2 : 0;
  }
  for (const Subcommand& s : subcommands)
    if (s.name && !strcmp(s.name, argv[first])) return s.run(argc - first, argv + first);
  fprintf(stderr, "receiver_sim: unknown link '%s'\n", argv[first]);
  print_usage(stderr);
  return 2;
}
