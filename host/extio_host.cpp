// extio_host: a small SDR host program. Loads an ExtIO plug-in by path and
// drives it from the command line.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "host/plugin_loader.h"
#include "host/recorder.h"

namespace {

void print_usage(FILE* out) {
  fprintf(out,
          "usage: extio_host COMMAND PLUGIN [options]\n"
          "\n"
          "commands:\n"
          "  info PLUGIN    load the plug-in and print what it reports about the\n"
          "                 receiver: name, model, hardware type, attenuator steps\n"
          "  open PLUGIN [--seconds N]\n"
          "                 open the receiver with its control window for N seconds\n"
          "                 (default 10), then close it and print the callbacks seen\n"
          "  record PLUGIN --out FILE.wav [--seconds N] [--lo HZ]\n"
          "                 open and start the receiver, record N seconds (default 10)\n"
          "                 of its samples into a two-channel 16-bit WAV file at the\n"
          "                 rate the plug-in reports, then stop and close it (also on\n"
          "                 Ctrl-C); --out - writes raw interleaved 16-bit I/Q to\n"
          "                 standard output instead; --lo tunes StartHW (default: the\n"
          "                 plug-in's LO)\n"
          "\n"
          "The plug-in reads ./sdr_config.ini and writes ./extio_log.txt in the\n"
          "current directory.\n");
}

void host_callback(int, int, float, void*) {}

// What the plug-in told the host through its callback.
struct CallbackTally {
  std::atomic<long> blocks{0};
  std::atomic<long> samples{0};
  std::atomic<long> rate_changed{0};
  std::atomic<long> lo_changed{0};
  std::atomic<long> attenuator_changed{0};
  std::atomic<long> other{0};
};
CallbackTally tally;

void counting_callback(int count, int status, float, void*) {
  if (count > 0) {
    tally.blocks++;
    tally.samples += count;
  } else if (status == 100) {
    tally.rate_changed++;
  } else if (status == 101) {
    tally.lo_changed++;
  } else if (status == 125) {
    tally.attenuator_changed++;
  } else {
    tally.other++;
  }
}

// The text after `flag` in argv, or nullptr.
const char* option_text(int argc, char** argv, const char* flag) {
  for (int i = 3; i + 1 < argc; ++i)
    if (!strcmp(argv[i], flag)) return argv[i + 1];
  return nullptr;
}

// The value after `flag` in argv, or `fallback`.
double option_value(int argc, char** argv, const char* flag, double fallback) {
  for (int i = 3; i + 1 < argc; ++i)
    if (!strcmp(argv[i], flag)) return atof(argv[i + 1]);
  return fallback;
}

int run_open(ExtioPlugin& plugin, double seconds) {
  char name[256] = {};
  char model[256] = {};
  int type = 0;
  plugin.InitHW(name, model, &type);
  printf("receiver: %s%s, hardware type %d\n", name, model, type);
  plugin.SetCallback(counting_callback);
  const auto opened_at = std::chrono::steady_clock::now();
  plugin.OpenHW();
  const double open_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - opened_at).count();
  printf("OpenHW returned after %.1f s; window open for %.0f s\n", open_s, seconds);
  fflush(stdout);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const auto closing_at = std::chrono::steady_clock::now();
  plugin.CloseHW();
  const double close_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - closing_at)
          .count();
  printf("CloseHW returned after %.0f ms\n", close_ms);
  printf("callbacks: %ld sample blocks (%ld samples), sample rate changed %ld, LO changed %ld, "
         "attenuator changed %ld, other %ld\n",
         tally.blocks.load(), tally.samples.load(), tally.rate_changed.load(),
         tally.lo_changed.load(), tally.attenuator_changed.load(), tally.other.load());
  printf("sample rate: %d, LO: %d\n", plugin.GetHWSR(), plugin.GetHWLO());
  return 0;
}

int run_info(ExtioPlugin& plugin) {
  char name[256] = {};
  char model[256] = {};
  int type = 0;
  const bool ok = plugin.InitHW(name, model, &type);
  printf("InitHW: %s\n", ok ? "true" : "false");
  printf("name: %s\n", name);
  printf("model: %s\n", model);
  printf("hardware type: %d%s\n", type,
         type == 3 ? " (16-bit I/Q through the callback)"
                   : type == 4 ? " (samples through the sound card)" : "");
  printf("attenuators (dB):");
  for (int index = 0;; ++index) {
    float att = 0.0f;
    if (plugin.GetAttenuators(index, &att) != 0) break;
    printf(" %g", att);
  }
  printf("\n");
  plugin.SetCallback(host_callback);
  plugin.VersionInfo("extio_host", 1, 0);
  printf("VersionInfo: accepted (extio_host v.1.0)\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
    print_usage(stdout);
    return 0;
  }
  if (argc < 3) {
    print_usage(stderr);
    return 2;
  }
  const std::string command = argv[1];
  ExtioPlugin plugin;
  std::string error;
  if (command != "info" && command != "open" && command != "record") {
    fprintf(stderr, "extio_host: unknown command '%s'\n", command.c_str());
    print_usage(stderr);
    return 2;
  }
  RecordOptions record;
  if (command == "record") {
    const char* out = option_text(argc, argv, "--out");
    record.seconds = option_value(argc, argv, "--seconds", 10);
    record.lo_frequency = long(option_value(argc, argv, "--lo", -1));
    if (!out || !*out || !(record.seconds > 0)) {
      fprintf(stderr, "extio_host: record needs --out FILE.wav (or -) and --seconds above 0\n");
      return 2;
    }
    record.out = out;
  }
  if (!load_extio_plugin(argv[2], plugin, error)) {
    fprintf(stderr, "extio_host: %s\n", error.c_str());
    return 1;
  }
  if (command == "record") return run_record(plugin, record);
  if (command == "open") return run_open(plugin, option_value(argc, argv, "--seconds", 10));
  return run_info(plugin);
}
