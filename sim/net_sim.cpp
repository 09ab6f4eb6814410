// receiver_sim net: the network receiver on one address and port. Each part
// of the receiver's network side (the TCP control server and the UDP sample
// streamer, on the same port number) reads its
// options from the same command line and runs until the simulator is told to
// stop (SIGINT, SIGTERM) or its --duration is over.
#include "sim/net_sim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "sim/tcp_control_server.h"
#include "sim/discovery_responder.h"
#include "sim/udp_streamer.h"

namespace {

volatile std::sig_atomic_t stop_signal = 0;
void on_stop_signal(int) { stop_signal = 1; }

struct NetSimOptions {
  StreamerConfig udp;
  bool discovery = false;
  DiscoveryReplySpec discovery_reply;  // address and port from --address, --port
  int discovery_short = 0;             // also send a reply cut to this length
  bool discovery_malformed = false;    // also send one with a broken signature
  bool control = true;
  bool control_silent = false;
  double duration_seconds = 0;  // 0 = until a signal
};

void print_net_usage(FILE* out) {
  fprintf(out,
          "usage: receiver_sim net [options]\n"
          "  --address A          receiver address (default 127.0.0.2)\n"
          "  --port P             receiver port, TCP control and UDP data (default 50000)\n"
          "  --duration S         stop after S seconds (default: at SIGINT/SIGTERM)\n"
          "UDP sample streamer (streams to whoever sends the start datagram AA 01):\n"
          "  --rx-mode M          RX mode 0..5 of the stream (default 0)\n"
          "  --rate R             datagrams per second (default 1000)\n"
          "  --header K           header byte: 4 short, 24 extended (default 4)\n"
          "  --small              512 sample bytes per datagram instead of 1024\n"
          "  --sample-rate R      extended header: sample rate (default 1300000)\n"
          "  --frequency-ch1 F    extended header: channel 1 frequency, Hz\n"
          "  --frequency-ch2 F    extended header: channel 2 frequency, Hz\n"
          "  --count N            datagrams per start (default: no limit)\n"
          "TCP control server (answers tunnelled commands, acknowledges items):\n"
          "  --no-control         no control server\n"
          "  --control-silent     accept the connection, never reply\n"
          "discovery responder (answers requests on UDP 48321 of any address):\n"
          "  --discovery          answer discovery requests\n"
          "  --name N             device name in the reply (default Tavrin-SDR)\n"
          "  --serial S           serial number in the reply (default TS0000001)\n"
          "  --in-use B           in-use flags, byte 87 (default 0)\n"
          "  --reply-delay MS     send the reply MS milliseconds late\n"
          "  --reply-copies N     send the reply N times\n"
          "  --reply-short L      also send a reply cut to L bytes\n"
          "  --reply-malformed    also send a reply with a broken signature\n"
          "faults:\n"
          "  --silent             never answer the start datagram\n"
          "  --answer-after N     answer only the Nth start datagram\n"
          "  --short-every N      an extra short datagram ahead of every Nth one\n"
          "  --short-length B     its length in bytes (default 100)\n"
          "  --malformed-every N  every Nth datagram with header byte 0x55\n");
}

// Returns false (after a message) on an unknown option or a missing value.
bool parse_net_options(int argc, char** argv, NetSimOptions* o) {
  StreamerConfig& u = o->udp;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        fprintf(stderr, "receiver_sim net: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    const char* v = nullptr;
    if (a == "--small") u.small_packets = true;
    else if (a == "--silent") u.silent = true;
    else if (a == "--discovery") o->discovery = true;
    else if (a == "--reply-malformed") o->discovery_malformed = true;
    else if (a == "--name") { if (!(v = value("--name"))) return false; o->discovery_reply.name = v; }
    else if (a == "--serial") { if (!(v = value("--serial"))) return false; o->discovery_reply.serial = v; }
    else if (a == "--in-use") { if (!(v = value("--in-use"))) return false; o->discovery_reply.in_use = uint8_t(strtol(v, nullptr, 0)); }
    else if (a == "--reply-delay") { if (!(v = value("--reply-delay"))) return false; o->discovery_reply.delay_ms = atoi(v); }
    else if (a == "--reply-copies") { if (!(v = value("--reply-copies"))) return false; o->discovery_reply.copies = atoi(v); }
    else if (a == "--reply-short") { if (!(v = value("--reply-short"))) return false; o->discovery_short = atoi(v); }
    else if (a == "--no-control") o->control = false;
    else if (a == "--control-silent") o->control_silent = true;
    else if (a == "--address") { if (!(v = value("--address"))) return false; u.address = v; }
    else if (a == "--port") { if (!(v = value("--port"))) return false; u.port = uint16_t(atoi(v)); }
    else if (a == "--duration") { if (!(v = value("--duration"))) return false; o->duration_seconds = atof(v); }
    else if (a == "--rx-mode") { if (!(v = value("--rx-mode"))) return false; u.rx_mode = atoi(v); }
    else if (a == "--rate") { if (!(v = value("--rate"))) return false; u.datagrams_per_second = atof(v); }
    else if (a == "--header") { if (!(v = value("--header"))) return false; u.header_kind = atoi(v); }
    else if (a == "--sample-rate") { if (!(v = value("--sample-rate"))) return false; u.sample_rate = atoi(v); }
    else if (a == "--frequency-ch1") { if (!(v = value("--frequency-ch1"))) return false; u.frequency_ch1 = atoi(v); }
    else if (a == "--frequency-ch2") { if (!(v = value("--frequency-ch2"))) return false; u.frequency_ch2 = atoi(v); }
    else if (a == "--count") { if (!(v = value("--count"))) return false; u.count = atoll(v); }
    else if (a == "--answer-after") { if (!(v = value("--answer-after"))) return false; u.answer_after = atoi(v); }
    else if (a == "--short-every") { if (!(v = value("--short-every"))) return false; u.short_every = atoi(v); }
    else if (a == "--short-length") { if (!(v = value("--short-length"))) return false; u.short_length = atoi(v); }
    else if (a == "--malformed-every") { if (!(v = value("--malformed-every"))) return false; u.malformed_every = atoi(v); }
    else {
      fprintf(stderr, "receiver_sim net: unknown option '%s'\n", a.c_str());
      return false;
    }
  }
  return true;
}

// The responder's replies: the receiver's own, and the faulty extras asked for.
ResponderConfig discovery_config(const NetSimOptions& o) {
  ResponderConfig config;
  DiscoveryReplySpec reply = o.discovery_reply;
  reply.address = o.udp.address;
  reply.port = o.udp.port;
  config.replies = {reply};
  if (o.discovery_short > 0) {
    DiscoveryReplySpec cut = reply;
    cut.length = o.discovery_short;
    cut.copies = 1;
    config.replies.push_back(cut);
  }
  if (o.discovery_malformed) {
    DiscoveryReplySpec broken = reply;
    broken.bad_signature = true;
    broken.copies = 1;
    config.replies.push_back(broken);
  }
  return config;
}

}  // namespace

int run_net_sim(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
      print_net_usage(stdout);
      return 0;
    }
  NetSimOptions options;
  if (!parse_net_options(argc, argv, &options)) {
    print_net_usage(stderr);
    return 2;
  }
  ControlServerConfig control_config;
  control_config.address = options.udp.address;
  control_config.port = options.udp.port;
  control_config.silent = options.control_silent;
  TcpControlServer control(control_config);
  if (options.control && !control.start()) {
    fprintf(stderr, "receiver_sim net: control server: %s\n", control.error().c_str());
    return 1;
  }
  std::unique_ptr<DiscoveryResponder> responder;
  if (options.discovery) {
    responder = std::make_unique<DiscoveryResponder>(discovery_config(options));
    if (!responder->start()) {
      fprintf(stderr, "receiver_sim net: discovery responder: %s\n", responder->error().c_str());
      return 1;
    }
  }
  UdpStreamer streamer(options.udp);
  if (!streamer.start()) {
    fprintf(stderr, "receiver_sim net: udp streamer: %s\n", streamer.error().c_str());
    return 1;
  }
  printf("receiver_sim net: streaming on %s:%u\n", options.udp.address.c_str(), streamer.port());
  fflush(stdout);
  signal(SIGINT, on_stop_signal);
  signal(SIGTERM, on_stop_signal);
  const auto begin = std::chrono::steady_clock::now();
  while (!stop_signal) {
    if (options.duration_seconds > 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() >= options.duration_seconds)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  streamer.stop();
  if (responder) {
    responder->stop();
    printf("receiver_sim net: %d discovery requests seen, %lld replies sent\n", responder->requests_seen(),
           responder->replies_sent());
  }
  control.stop();
  if (options.control)
    printf("receiver_sim net: %zu control messages taken\n", control.messages().size());
  printf("receiver_sim net: %lld datagrams sent, %d start datagrams seen\n", streamer.datagrams_sent(),
         streamer.start_datagrams_seen());
  return 0;
}
