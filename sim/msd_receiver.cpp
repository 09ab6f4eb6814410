// receiver_sim msd: the simulated receiver as a mass-storage drive, mounted
// until the program is interrupted.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/msd_drive.h"

namespace {

void print_msd_usage(FILE* out) {
  fprintf(out,
          "usage: receiver_sim msd MOUNT_POINT [options]\n"
          "\n"
          "Presents command.out, command.in and stream.dat on MOUNT_POINT (a FUSE\n"
          "file system) until interrupted. Point the setting sdr_path at it, with a\n"
          "trailing slash.\n"
          "\n"
          "options:\n"
          "  --silent          answer no command\n"
          "  --wrong-answers   answer with a report id no host reads\n"
          "  --rx-mode N       RX mode the receiver starts in (0..5)\n"
          "  --read-bytes N    every stream read returns at most N bytes\n"
          "  --no-command-in   do not present command.in (likewise --no-command-out,\n"
          "                    --no-stream)\n");
}

}  // namespace

int run_msd_receiver(int argc, char** argv) {
  std::string mount_point;
  MsdDrive::Files files;
  bool silent = false, wrong = false;
  int rx_mode = 0, read_bytes = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      print_msd_usage(stdout);
      return 0;
    } else if (arg == "--silent") {
      silent = true;
    } else if (arg == "--wrong-answers") {
      wrong = true;
    } else if (arg == "--rx-mode" && has_value) {
      rx_mode = atoi(argv[++i]);
    } else if (arg == "--read-bytes" && has_value) {
      read_bytes = atoi(argv[++i]);
    } else if (arg == "--no-command-in") {
      files.command_in = false;
    } else if (arg == "--no-command-out") {
      files.command_out = false;
    } else if (arg == "--no-stream") {
      files.stream = false;
    } else if (arg[0] != '-' && mount_point.empty()) {
      mount_point = arg;
    } else {
      fprintf(stderr, "receiver_sim msd: unknown option '%s'\n", arg.c_str());
      print_msd_usage(stderr);
      return 2;
    }
  }
  if (mount_point.empty()) {
    print_msd_usage(stderr);
    return 2;
  }

  // Signals are taken by sigwait below, never by the file system's threads.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  MsdDrive drive;
  drive.set_files(files);
  drive.set_stream_read_bytes(read_bytes);
  drive.with_firmware([&](SimFirmware& firmware) {
    firmware.silent = silent;
    firmware.wrong_answers = wrong;
    firmware.rx_mode = static_cast<uint32_t>(rx_mode);
  });
  std::string error;
  if (!drive.mount(mount_point, &error)) {
    fprintf(stderr, "receiver_sim msd: %s\n", error.c_str());
    return 1;
  }
  printf("mass-storage receiver mounted on %s\n", mount_point.c_str());
  fflush(stdout);
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  drive.unmount();
  return 0;
}
