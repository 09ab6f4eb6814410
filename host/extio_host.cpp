// extio_host: a small SDR host program. Loads an ExtIO plug-in by path and
// drives it from the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/plugin_loader.h"

namespace {

void print_usage(FILE* out) {
  fprintf(out,
          "usage: extio_host COMMAND PLUGIN [options]\n"
          "\n"
          "commands:\n"
          "  info PLUGIN    load the plug-in and print what it reports about the\n"
          "                 receiver: name, model, hardware type, attenuator steps\n"
          "\n"
          "The plug-in reads ./sdr_config.ini and writes ./extio_log.txt in the\n"
          "current directory.\n");
}

void host_callback(int, int, float, void*) {}

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
  if (command != "info") {
    fprintf(stderr, "extio_host: unknown command '%s'\n", command.c_str());
    print_usage(stderr);
    return 2;
  }
  if (!load_extio_plugin(argv[2], plugin, error)) {
    fprintf(stderr, "extio_host: %s\n", error.c_str());
    return 1;
  }
  return run_info(plugin);
}
