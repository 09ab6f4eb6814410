// The UDP sample path end to end on loopback: the simulated receiver on
// 127.0.0.2 streams quad-channel datagrams (64 samples per channel each) at
// rising rates into UDP_App, whose host callback counts the samples and
// checks the ramp; beside it, a plain recvmmsg loop reading the same stream.
// Prints, per rate: datagrams sent, samples lost, the kernel's receive-buffer
// drops and the receive thread's CPU use. Then the effect of a scheduling
// pause and of the start-up order on loss. Bounded: about a minute.
//
// Run inside scripts/in_private_net.sh (it sends only to 127.0.0.0/8).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_options.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "sim/udp_streamer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int SAMPLES_PER_DATAGRAM = 64;  // quad channel, 1024 sample bytes
constexpr int AS_DESCRIBED_BUFFER = 131072;

double seconds_between(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double cpu_seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The kernel's count of UDP datagrams dropped for a full receive buffer
// (per network namespace).
long long udp_receive_buffer_drops() {
  std::ifstream snmp("/proc/net/snmp");
  std::string names, values, line;
  while (std::getline(snmp, line)) {
    if (line.rfind("Udp:", 0) != 0) continue;
    if (names.empty()) names = line; else { values = line; break; }
  }
  std::istringstream n(names), v(values);
  std::string name, value;
  while (n >> name && v >> value)
    if (name == "RcvbufErrors") return atoll(value.c_str());
  return -1;
}

// Counts samples delivered and breaks in the ramp. The receive thread's CPU
// clock is taken from inside the callback, which runs on that thread.
struct SampleCounter {
  std::atomic<long long> samples{0};
  std::atomic<long long> breaks{0};
  std::atomic<clockid_t> thread_clock{0};
  std::atomic<bool> have_clock{false};
  uint16_t next = 0;
  bool started = false;
  // A scheduling pause of the host: once, after this many blocks.
  long long pause_after_blocks = -1;
  int pause_ms = 0;
  long long blocks = 0;

  void reset() {
    samples = 0;
    breaks = 0;
    have_clock = false;
    started = false;
    blocks = 0;
    pause_after_blocks = -1;
  }

  void take(const int16_t* iq, int count) {
    if (!have_clock) {
      clockid_t c;
      pthread_getcpuclockid(pthread_self(), &c);
      thread_clock = c;
      have_clock = true;
    }
    for (int s = 0; s < count; ++s) {
      const uint16_t i = uint16_t(iq[2 * s]);
      if (started && i != next) breaks++;
      started = true;
      next = uint16_t(i + 1);
    }
    samples += count;
  }
};
SampleCounter counter;

void counting_callback(int count, int status, float, void* data) {
  if (count != SAMPLES_PER_BLOCK || status != 0) return;
  counter.take(static_cast<const int16_t*>(data), count);
  if (++counter.blocks == counter.pause_after_blocks) std::this_thread::sleep_for(std::chrono::milliseconds(counter.pause_ms));
}

struct Result {
  double rate = 0, achieved = 0;
  long long sent = 0, expected = 0, delivered = 0, breaks = 0, drops = 0;
  double cpu_percent = 0;
  int granted_buffer = -1;
  bool lossless() const { return delivered == expected && breaks == 0 && sent > 0; }
};

struct RunPlan {
  double rate;
  double seconds;
  long long pause_after_blocks = -1;
  int pause_ms = 0;
};

// Something that reads the stream: started once the receiver listens, asked
// for its thread's CPU clock while running, then stopped.
struct Reader {
  virtual ~Reader() = default;
  virtual void start(uint16_t port) = 0;
  virtual void stop() = 0;
  virtual int granted_buffer() = 0;
};

struct UdpAppReader : Reader {
  explicit UdpAppReader(int buffer) { app.set_receive_buffer_bytes(buffer); }
  void start(uint16_t port) override {
    app.set_port(port);
    app.set_peer_address(QHostAddress("127.0.0.2"));
    app.set_rx_mode(RX_QUAD);
    app.set_selected_channel(0);
    app.start_stream();
  }
  void stop() override {
    app.request_stop();
    app.wait(3000);
  }
  int granted_buffer() override { return app.granted_receive_buffer(); }
  UDP_App app;
};

// The plain loop: sleep 1 ms, then drain with non-blocking recvmmsg. With
// `options_after_ms` it waits that long after its start datagram before it
// sets the receive buffer, as a handshake that sleeps first would.
struct RecvmmsgReader : Reader {
  RecvmmsgReader(int buffer, int options_after) : buffer_bytes(buffer), options_after_ms(options_after) {}
  void start(uint16_t port) override {
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    if (options_after_ms == 0) granted = set_receive_buffer(fd, buffer_bytes);
    thread = std::thread([this, port] { loop(port); });
  }
  void loop(uint16_t port) {
    send_datagram_to(fd, 0x7F000002, port, stream_start_datagram, 2);
    if (options_after_ms > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(options_after_ms));
      granted = set_receive_buffer(fd, buffer_bytes);
    }
    constexpr int BATCH = 32, SLOT = 2048;
    std::vector<uint8_t> storage(BATCH * SLOT);
    mmsghdr msgs[BATCH];
    iovec iov[BATCH];
    for (int i = 0; i < BATCH; ++i) {
      iov[i] = {storage.data() + i * SLOT, SLOT};
      msgs[i] = {};
      msgs[i].msg_hdr.msg_iov = &iov[i];
      msgs[i].msg_hdr.msg_iovlen = 1;
    }
    while (!quit) {
      std::this_thread::sleep_for(1ms);
      int n;
      while ((n = recvmmsg(fd, msgs, BATCH, MSG_DONTWAIT, nullptr)) > 0) {
        for (int i = 0; i < n; ++i) {
          if (msgs[i].msg_len < 1028) continue;
          // Channel 1 of the datagram's frames, as the counting callback sees them.
          int16_t iq[2 * SAMPLES_PER_DATAGRAM];
          for (int f = 0; f < SAMPLES_PER_DATAGRAM; ++f) memcpy(&iq[2 * f], storage.data() + i * SLOT + 4 + 16 * f, 4);
          counter.take(iq, SAMPLES_PER_DATAGRAM);
        }
      }
    }
  }
  void stop() override {
    quit = true;
    if (thread.joinable()) thread.join();
    close(fd);
  }
  int granted_buffer() override { return granted; }
  int buffer_bytes, options_after_ms;
  int fd = -1;
  std::atomic<int> granted{-1};
  std::atomic<bool> quit{false};
  std::thread thread;
};

Result measure(const std::function<std::unique_ptr<Reader>()>& make_reader, const RunPlan& plan) {
  Result r;
  r.rate = plan.rate;
  counter.reset();
  counter.pause_after_blocks = plan.pause_after_blocks;
  counter.pause_ms = plan.pause_ms;
  StreamerConfig config;
  config.address = "127.0.0.2";
  config.port = 0;
  config.rx_mode = RX_QUAD;
  config.datagrams_per_second = plan.rate;
  config.count = (long long)(plan.rate * plan.seconds) / 8 * 8;  // whole blocks
  UdpStreamer streamer(config);
  if (!streamer.start()) {
    fprintf(stderr, "streamer: %s\n", streamer.error().c_str());
    return r;
  }
  const long long drops_before = udp_receive_buffer_drops();
  std::unique_ptr<Reader> reader = make_reader();
  reader->start(streamer.port());

  const auto give_up = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(plan.seconds * 3 + 3));
  while (!counter.have_clock && Clock::now() < give_up) std::this_thread::sleep_for(100us);
  const auto wall0 = Clock::now();
  const double cpu0 = counter.have_clock ? cpu_seconds(counter.thread_clock) : 0;
  while ((streamer.streaming() || streamer.datagrams_sent() == 0) && Clock::now() < give_up)
    std::this_thread::sleep_for(1ms);
  const auto sent_by = Clock::now();
  std::this_thread::sleep_for(100ms);  // let the reader drain
  const auto wall1 = Clock::now();
  const double cpu1 = counter.have_clock ? cpu_seconds(counter.thread_clock) : 0;
  reader->stop();
  streamer.stop();

  r.sent = streamer.datagrams_sent();
  r.achieved = double(r.sent) / seconds_between(wall0, sent_by);
  r.expected = r.sent * SAMPLES_PER_DATAGRAM;
  r.delivered = counter.samples;
  r.breaks = counter.breaks;
  r.drops = udp_receive_buffer_drops() - drops_before;
  r.cpu_percent = 100.0 * (cpu1 - cpu0) / seconds_between(wall0, wall1);
  r.granted_buffer = reader->granted_buffer();
  return r;
}

void print_header() {
  printf("  %9s %10s %9s %12s %9s %8s %8s %6s\n", "rate/s", "achieved/s", "sent", "lost samples", "breaks",
         "k.drops", "cpu %", "ok");
}

void print_row(const Result& r) {
  printf("  %9.0f %10.0f %9lld %12lld %9lld %8lld %8.1f %6s\n", r.rate, r.achieved, r.sent, r.expected - r.delivered,
         r.breaks, r.drops, r.cpu_percent, r.lossless() ? "yes" : "LOSS");
  fflush(stdout);
}

// Runs the rates in order; returns the highest rate below which every run
// was lossless.
double rising_rates(const char* title, const std::function<std::unique_ptr<Reader>()>& make_reader,
                    const std::vector<double>& rates, double seconds, Result* at_top_rate) {
  printf("\n%s\n", title);
  print_header();
  double highest = 0;
  bool all_ok = true;
  for (double rate : rates) {
    const Result r = measure(make_reader, {rate, seconds});
    print_row(r);
    if (rate == rates.front()) *at_top_rate = r;
    if (r.lossless() && all_ok) highest = r.achieved < rate * 0.97 ? r.achieved : rate;
    else all_ok = false;
  }
  return highest;
}

}  // namespace

int main() {
  std::string load_average;
  std::getline(std::ifstream("/proc/loadavg"), load_average);
  receiver_state().set_host_callback(counting_callback);
  const int mended = UDP_App::DEFAULT_RECEIVE_BUFFER_BYTES;
  printf("UDP sample path on loopback: quad channel, 1028-byte datagrams, 64 samples/channel each\n");
  printf("(receiver's top rate: 1.3 MS/s = about 20,000 datagrams/s; lost = sent x 64 - delivered)\n");

  const std::vector<double> rates = {20000, 40000, 80000, 120000, 160000, 200000, 250000, 320000, 400000};
  Result app_top, app_small_top, base_top;  // at the first (the receiver's top) rate
  const double app_best = rising_rates(
      "UDP_App, receive buffer 16 MiB (mended):",
      [&] { return std::unique_ptr<Reader>(new UdpAppReader(mended)); }, rates, 1.5, &app_top);
  const double app_small_best = rising_rates(
      "UDP_App, receive buffer 131,072 bytes (as described):",
      [&] { return std::unique_ptr<Reader>(new UdpAppReader(AS_DESCRIBED_BUFFER)); }, rates, 1.5, &app_small_top);
  const double base_best = rising_rates(
      "Baseline: sleep 1 ms, drain with non-blocking recvmmsg, receive buffer 16 MiB:",
      [&] { return std::unique_ptr<Reader>(new RecvmmsgReader(mended, 0)); }, rates, 1.5, &base_top);

  printf("\nA 150 ms scheduling pause of the receive thread at 20,000 datagrams/s (2 s of stream):\n");
  print_header();
  const Result pause_small = measure([&] { return std::unique_ptr<Reader>(new UdpAppReader(AS_DESCRIBED_BUFFER)); },
                                     {20000, 2.0, 200, 150});
  printf("  131,072-byte buffer (as described), granted %d:\n", pause_small.granted_buffer);
  print_row(pause_small);
  const Result pause_big = measure([&] { return std::unique_ptr<Reader>(new UdpAppReader(mended)); },
                                   {20000, 2.0, 200, 150});
  printf("  16 MiB buffer (mended), granted %d:\n", pause_big.granted_buffer);
  print_row(pause_big);

  printf("\nStart-up at 20,000 datagrams/s: receive buffer set after a 100 ms handshake wait (plain loop):\n");
  print_header();
  const Result late = measure([&] { return std::unique_ptr<Reader>(new RecvmmsgReader(AS_DESCRIBED_BUFFER, 100)); },
                              {20000, 1.0});
  print_row(late);
  printf("  (UDP_App sets its options before the handshake: see the 20,000/s rows above)\n");

  printf("\nReceive thread CPU at 20,000 datagrams/s, 2 s runs, alternating, median of 3:\n");
  print_header();
  std::vector<double> app_cpu, base_cpu;
  for (int i = 0; i < 3; ++i) {
    const Result a = measure([&] { return std::unique_ptr<Reader>(new UdpAppReader(mended)); }, {20000, 2.0});
    printf("  UDP_App:\n");
    print_row(a);
    const Result b = measure([&] { return std::unique_ptr<Reader>(new RecvmmsgReader(mended, 0)); }, {20000, 2.0});
    printf("  baseline:\n");
    print_row(b);
    app_cpu.push_back(a.cpu_percent);
    base_cpu.push_back(b.cpu_percent);
  }
  std::sort(app_cpu.begin(), app_cpu.end());
  std::sort(base_cpu.begin(), base_cpu.end());

  printf("\nSummary (load average at start: %s)\n", load_average.c_str());
  printf("  highest lossless rate: UDP_App 16 MiB %.0f/s, UDP_App 131,072 B %.0f/s, recvmmsg baseline %.0f/s\n",
         app_best, app_small_best, base_best);
  printf("  UDP_App at %.0f%% of the baseline's lossless rate\n", base_best > 0 ? 100.0 * app_best / base_best : 0.0);
  printf("  receive thread CPU at 20,000 datagrams/s (median): UDP_App %.1f%%, baseline %.1f%% of one core\n",
         app_cpu[1], base_cpu[1]);
  return 0;
}
