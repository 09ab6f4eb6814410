// Soak: the real plug-in, loaded with dlopen, its window running offscreen on
// its own GUI thread, streams quad-channel datagrams from the simulated
// network receiver on 127.0.0.2 at the receiver's top rate (20,000
// datagrams/s, 64 samples per channel each: 1.28 million samples/s per
// channel) for a long run. The host callback checks channel 1's ramp.
// Prints a line per interval and a summary: samples delivered and lost,
// resident memory at the start and the end, CPU of the plug-in's threads and
// of the whole process.
//
//   soak_bench [--seconds N] [--rate DATAGRAMS_PER_S] [--interval N]
//
// Run inside scripts/in_private_net.sh (it sends only to 127.0.0.0/8).
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "host/plugin_loader.h"
#include "sim/sim_firmware.h"
#include "sim/tcp_control_server.h"
#include "sim/udp_streamer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int QUAD_MODE = 5;
constexpr int SAMPLES_PER_DATAGRAM = 64;  // per channel, 1024 sample bytes
constexpr int BLOCK_SAMPLES = 512;

struct Options {
  double seconds = 600;
  double rate = 20000;
  double interval = 60;
};

// What the host callback saw; written only on the stream thread.
struct HostCount {
  std::atomic<long long> samples{0};
  std::atomic<long long> lost{0};    // samples missing from the ramp
  std::atomic<long long> breaks{0};  // places where the ramp jumped
  std::atomic<long long> statuses{0};
  uint16_t last_i = 0;
  bool first = true;
} host;

void host_callback(int count, int, float, void* data) {
  if (count <= 0 || !data) {
    host.statuses++;
    return;
  }
  const int16_t* iq = static_cast<const int16_t*>(data);
  for (int k = 0; k < count; ++k) {
    const uint16_t i = uint16_t(iq[2 * k]);
    if (!host.first && uint16_t(i - host.last_i) != 1) {
      host.breaks++;
      host.lost += uint16_t(i - host.last_i - 1);  // modulo the ramp's 65536
    }
    host.first = false;
    host.last_i = i;
  }
  host.samples += count;
}

bool parse(int argc, char** argv, Options* o) {
  for (int a = 1; a < argc; ++a) {
    const std::string name = argv[a];
    if (a + 1 >= argc) return false;
    const double value = atof(argv[++a]);
    if (name == "--seconds") o->seconds = value;
    else if (name == "--rate") o->rate = value;
    else if (name == "--interval") o->interval = value;
    else return false;
  }
  return o->seconds > 0 && o->rate > 0 && o->interval > 0;
}

long resident_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return atol(line.c_str() + 6);
  return -1;
}

double process_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// CPU seconds of the plug-in's Qt threads (the GUI thread SDR_app and the
// receive thread UDP_App, which the system names "QThread"); the simulated
// receiver and this program run on threads of their own name.
double plugin_threads_cpu_seconds() {
  const double tick = double(sysconf(_SC_CLK_TCK));
  double total = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return 0;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string base = std::string("/proc/self/task/") + entry->d_name;
    std::string name;
    std::getline(std::ifstream(base + "/comm"), name);
    if (name != "QThread") continue;
    std::string stat;
    std::getline(std::ifstream(base + "/stat"), stat);
    const size_t end_of_name = stat.rfind(')');
    if (end_of_name == std::string::npos) continue;
    std::istringstream fields(stat.substr(end_of_name + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int k = 3; k <= 15 && fields >> field; ++k) {
      if (k == 14) utime = std::stoull(field);
      if (k == 15) stime = std::stoull(field);
    }
    total += double(utime + stime) / tick;
  }
  closedir(tasks);
  return total;
}

std::string scratch_dir() {
  std::string pattern = "/tmp/wavedeck-soak-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}

void write_text(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, &options)) {
    fprintf(stderr, "usage: soak_bench [--seconds N] [--rate DATAGRAMS_PER_S] [--interval N]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const uint16_t port = uint16_t(41000 + getpid() % 20000);

  ControlServerConfig control_config;
  control_config.port = port;
  TcpControlServer control(control_config);
  control.with_firmware([](SimFirmware& f) { f.rx_mode = QUAD_MODE; });
  StreamerConfig stream_config;
  stream_config.port = port;
  stream_config.rx_mode = QUAD_MODE;
  stream_config.datagrams_per_second = options.rate;
  UdpStreamer streamer(stream_config);
  if (!control.start() || !streamer.start()) {
    fprintf(stderr, "soak_bench: simulated receiver: %s%s\n", control.error().c_str(), streamer.error().c_str());
    return 1;
  }

  const std::string dir = scratch_dir();
  if (dir.empty() || chdir(dir.c_str()) != 0) {
    perror("soak_bench: scratch directory");
    return 1;
  }
  write_text("sdr_config.ini", "[General]\nnetwork_enable_flag=1\nrivulet_discovery=0\nmulti_stream_flag=0\n"
                               "sdr_ip_address=127.0.0.2\nudp_port=" + std::to_string(port) + "\n");
  ExtioPlugin plugin;
  std::string error;
  if (!load_extio_plugin(PLUGIN_PATH, plugin, error)) {
    fprintf(stderr, "soak_bench: %s\n", error.c_str());
    return 1;
  }
  char name[256] = {}, model[256] = {};
  int type = 0;
  plugin.InitHW(name, model, &type);
  plugin.SetCallback(host_callback);
  if (!plugin.OpenHW()) {
    fprintf(stderr, "soak_bench: OpenHW failed\n");
    return 1;
  }
  // The start-up sequence reads the receiver's RX mode before streaming.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  plugin.StartHW(7050000);

  printf("soak: quad channel, %.0f datagrams/s (%.2f Msamples/s per channel), %.0f s, window offscreen\n",
         options.rate, options.rate * SAMPLES_PER_DATAGRAM / 1e6, options.seconds);
  printf("%8s %14s %10s %8s %10s %12s %12s\n", "time s", "samples", "lost", "breaks", "RSS KiB",
         "plugin CPU%", "process CPU%");
  const auto begin = Clock::now();
  long start_rss = -1;
  double last_plugin_cpu = plugin_threads_cpu_seconds(), last_cpu = process_cpu_seconds(), last_t = 0;
  double next_report = std::min(10.0, options.interval);
  while (seconds_since(begin) < options.seconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double t = seconds_since(begin);
    if (t < next_report) continue;
    const double plugin_cpu = plugin_threads_cpu_seconds(), cpu = process_cpu_seconds();
    const long rss = resident_kib();
    if (start_rss < 0) start_rss = rss;  // after the first seconds: buffers are in place
    printf("%8.0f %14lld %10lld %8lld %10ld %12.1f %12.1f\n", t, host.samples.load(), host.lost.load(),
           host.breaks.load(), rss, 100 * (plugin_cpu - last_plugin_cpu) / (t - last_t),
           100 * (cpu - last_cpu) / (t - last_t));
    fflush(stdout);
    last_plugin_cpu = plugin_cpu, last_cpu = cpu, last_t = t;
    next_report = (next_report < options.interval ? 0 : next_report) + options.interval;
  }

  // Let the last datagrams arrive, then compare with what was sent.
  streamer.pause_streaming();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const long long sent_samples = streamer.datagrams_sent() * SAMPLES_PER_DATAGRAM;
  const long long delivered = host.samples.load();
  const long long unaccounted = sent_samples - delivered;  // < one block stays in the ring
  const long end_rss = resident_kib();
  const double total_plugin_cpu = plugin_threads_cpu_seconds(), elapsed = seconds_since(begin);
  plugin.StopHW();
  const auto close_begin = Clock::now();
  plugin.CloseHW();
  const double close_ms = 1000 * seconds_since(close_begin);

  printf("\nsummary\n");
  printf("  datagrams sent        %lld (%lld samples of channel 1)\n", streamer.datagrams_sent(), sent_samples);
  printf("  samples delivered     %lld in %lld blocks\n", delivered, delivered / BLOCK_SAMPLES);
  printf("  lost samples          %lld (ramp breaks %lld); sent minus delivered %lld (less than a block "
         "waits in the ring)\n",
         host.lost.load(), host.breaks.load(), unaccounted);
  printf("  resident memory       %ld KiB at 10 s, %ld KiB at the end: growth %ld KiB\n", start_rss, end_rss,
         end_rss - start_rss);
  printf("  plug-in threads CPU   %.1f%% of one core on average (UDP_App + SDR_app)\n",
         100 * total_plugin_cpu / elapsed);
  printf("  whole process CPU     %.1f%% (includes the simulated receiver)\n",
         100 * process_cpu_seconds() / elapsed);
  printf("  CloseHW took          %.0f ms\n", close_ms);
  const bool lossless = host.lost.load() == 0 && unaccounted >= 0 && unaccounted < BLOCK_SAMPLES;
  printf("  verdict               %s\n", lossless ? "no sample lost" : "SAMPLES LOST");
  streamer.stop();
  control.stop();
  return lossless ? 0 : 1;
}
