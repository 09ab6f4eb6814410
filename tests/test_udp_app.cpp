// UDP_App against the simulated receiver's streamer on loopback: the receiver
// on 127.0.0.2, UDP_App on 0.0.0.0 with the same port. The streamer's samples
// are a ramp per channel (sample n of channel c: I = n + 4096 c, Q = -I), so
// every delivered block can be checked for loss, duplication and order.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "sim/udp_streamer.h"

namespace {

using namespace std::chrono_literals;

// What the host received: each block's bytes, where it pointed, and the
// packet counter at that moment.
struct HostCapture {
  std::mutex lock;
  std::vector<std::vector<uint8_t>> blocks;
  std::vector<const uint8_t*> pointers;
  std::vector<int> packet_counts;
  UDP_App* app = nullptr;
};
HostCapture capture;

void capture_block(int count, int status, float, void* data) {
  if (count != SAMPLES_PER_BLOCK || status != 0) return;
  const auto* p = static_cast<const uint8_t*>(data);
  std::lock_guard<std::mutex> hold(capture.lock);
  capture.blocks.emplace_back(p, p + BLOCK_BYTES);
  capture.pointers.push_back(p);
  capture.packet_counts.push_back(capture.app ? capture.app->packet_count.load() : -1);
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3000ms) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < until) {
    if (condition()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return condition();
}

class UdpAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = std::make_unique<UDP_App>();
    {
      std::lock_guard<std::mutex> hold(capture.lock);
      capture.blocks.clear();
      capture.pointers.clear();
      capture.packet_counts.clear();
      capture.app = app.get();
    }
    receiver_state().set_host_callback(capture_block);
  }

  void TearDown() override {
    app->request_stop();
    EXPECT_TRUE(app->wait(3000));
    receiver_state().set_host_callback(nullptr);
    if (streamer) streamer->stop();
    std::lock_guard<std::mutex> hold(capture.lock);
    capture.app = nullptr;
  }

  // The receiver on 127.0.0.2 at a free port; UDP_App pointed at it.
  void start_receiver(StreamerConfig config) {
    config.address = "127.0.0.2";
    config.port = 0;
    streamer = std::make_unique<UdpStreamer>(config);
    ASSERT_TRUE(streamer->start()) << streamer->error();
    app->set_port(streamer->port());
    app->set_peer_address(QHostAddress("127.0.0.2"));
  }

  // A new UDP_App and receiver for the next case of a table.
  void restart_fixture() {
    TearDown();
    streamer.reset();
    SetUp();
  }

  size_t block_count() {
    std::lock_guard<std::mutex> hold(capture.lock);
    return capture.blocks.size();
  }

  // Waits for `blocks` blocks, then a little longer to see that no more come.
  void expect_blocks(size_t blocks) {
    EXPECT_TRUE(eventually([&] { return block_count() >= blocks; })) << block_count() << " blocks";
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(block_count(), blocks);
  }

  // All delivered samples as (I, Q) pairs, in order.
  std::vector<std::pair<int16_t, int16_t>> samples() {
    std::lock_guard<std::mutex> hold(capture.lock);
    std::vector<std::pair<int16_t, int16_t>> out;
    for (const auto& block : capture.blocks)
      for (int i = 0; i < BLOCK_BYTES; i += 4) {
        int16_t iq[2];
        memcpy(iq, block.data() + i, 4);
        out.emplace_back(iq[0], iq[1]);
      }
    return out;
  }

  // Index of the first sample whose I differs from expected_i(index) or
  // whose Q is not -I; -1 when all match.
  long first_mismatch(const std::function<int16_t(uint32_t)>& expected_i) {
    const auto all = samples();
    for (size_t s = 0; s < all.size(); ++s)
      if (all[s].first != expected_i(uint32_t(s)) || all[s].second != int16_t(-all[s].first)) return long(s);
    return -1;
  }

  std::unique_ptr<UDP_App> app;
  std::unique_ptr<UdpStreamer> streamer;
};

struct StreamCase {
  const char* name;
  int receiver_mode;
  bool small_packets;
  long long datagrams;
  int rx_mode, channel, diversity, stream_number;
  size_t blocks;
  std::function<int16_t(uint32_t)> expected_i;  // I of delivered sample s
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

const StreamCase stream_cases[] = {
    {"mode0_normal", 0, false, 11, 0, 0, 0, 0, 5, [](uint32_t s) { return ramp_i(s, 0); }},
    {"mode3_small", 0, true, 8, 3, 0, 1, 0, 2, [](uint32_t s) { return ramp_i(s, 0); }},
    {"mode1_channel2_yields_second_channel", 1, false, 16, 1, 2, 0, 0, 4,
     [](uint32_t s) { return ramp_i(s, 1); }},
    {"mode2_channel1_small", 2, true, 16, 2, 0, 0, 0, 2, [](uint32_t s) { return ramp_i(s, 0); }},
    {"mode4_diversity_sums_four_channels", 4, false, 32, 4, 0, 1, 0, 4,
     [](uint32_t s) { return int16_t(ramp_i(s, 0) + ramp_i(s, 1) + ramp_i(s, 2) + ramp_i(s, 3)); }},
    {"mode1_diversity_sums_two_channels", 1, false, 16, 1, 0, 1, 0, 4,
     [](uint32_t s) { return int16_t(ramp_i(s, 0) + ramp_i(s, 1)); }},
    {"mode5_channel4_small", 5, true, 32, 5, 4, 0, 0, 2, [](uint32_t s) { return ramp_i(s, 3); }},
    // With a stream number the receiver sends one channel per stream.
    {"stream1_mode2_copies_whole_payload", 0, false, 8, 2, 2, 0, 1, 4,
     [](uint32_t s) { return ramp_i(s, 0); }},
    {"stream3_mode5_copies_first_quarter", 0, false, 32, 5, 2, 1, 3, 4,
     [](uint32_t s) { return ramp_i((s / 64) * 256 + s % 64, 0); }},
};

class UdpStream : public UdpAppTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(UdpStream, DeliversTheSelectedSamplesInBlocks) {
  const StreamCase& c = GetParam();
  StreamerConfig config;
  config.rx_mode = c.receiver_mode;
  config.small_packets = c.small_packets;
  config.count = c.datagrams;
  config.datagrams_per_second = 2000;
  start_receiver(config);
  app->set_small_packets(c.small_packets);
  app->set_rx_mode(c.rx_mode);
  app->set_selected_channel(c.channel);
  app->set_diversity(c.diversity);
  app->set_stream_number(c.stream_number);

  app->start_stream();

  expect_blocks(c.blocks);
  EXPECT_EQ(first_mismatch(c.expected_i), -1);
  EXPECT_EQ(app->packet_count.load(), c.datagrams);
}

INSTANTIATE_TEST_SUITE_P(Modes, UdpStream, ::testing::ValuesIn(stream_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UdpAppTest, Mode0HandsABlockAfterEverySecondDatagram) {
  StreamerConfig config;
  config.count = 10;
  start_receiver(config);
  app->start_stream();

  expect_blocks(5);
  std::lock_guard<std::mutex> hold(capture.lock);
  // The block goes out while the second datagram is taken, before it counts.
  EXPECT_EQ(capture.packet_counts, (std::vector<int>{1, 3, 5, 7, 9}));
}

TEST_F(UdpAppTest, ExtendedHeaderIsPublishedAndAShortHeaderResetsTheStreamMode) {
  StreamerConfig config;
  config.rx_mode = RX_QUAD;
  config.header_kind = 24;
  config.sample_rate = 1250000;
  config.frequency_ch1 = 7050000;
  config.frequency_ch2 = -14200000;
  config.count = 16;
  start_receiver(config);
  app->set_rx_mode(RX_QUAD);
  app->start_stream();
  expect_blocks(2);
  EXPECT_EQ(app->header_kind.load(), 24);
  EXPECT_EQ(app->stream_rx_mode.load(), RX_QUAD);
  EXPECT_EQ(app->header_sample_rate.load(), 1250000);
  EXPECT_EQ(app->header_frequency_ch1.load(), 7050000);
  EXPECT_EQ(app->header_frequency_ch2.load(), -14200000);

  // Asked again while running, the receiver goes on with short headers; the
  // first of them, shorter than an extended one, is taken all the same.
  streamer->set_header_kind(4);
  app->start_stream();
  expect_blocks(4);
  EXPECT_EQ(app->header_kind.load(), 4);
  EXPECT_EQ(app->stream_rx_mode.load(), 0);
  EXPECT_EQ(app->header_sample_rate.load(), 1250000);  // kept from the last extended header
  // The run's first datagram is read at the short size: its last frame
  // (sample 63) comes from the zeroed read buffer.
  EXPECT_EQ(first_mismatch([](uint32_t s) { return s == 63 ? int16_t(0) : ramp_i(s, 0); }), -1);
}

// Without broadcast the first extended-header datagram of a run is read at
// the short size: its last 16 sample bytes come from the read buffer, zero
// at the start of a run. From then on the whole datagram is read. With
// broadcast the extra 16 bytes are expected from the first datagram on.
TEST_F(UdpAppTest, FirstExtendedHeaderDatagramOfARunIsReadAtTheShortSize) {
  for (int broadcast : {0, 1}) {
    SCOPED_TRACE(broadcast ? "broadcast" : "no broadcast");
    if (broadcast) restart_fixture();
    StreamerConfig config;
    config.header_kind = 24;
    config.count = 4;
    start_receiver(config);
    app->set_broadcast_flag(broadcast);
    app->start_stream();
    expect_blocks(2);
    const auto all = samples();
    ASSERT_EQ(all.size(), 1024u);
    for (uint32_t s = 0; s < all.size(); ++s) {
      const bool from_old_buffer = !broadcast && s >= 252 && s < 256;
      const int16_t i = from_old_buffer ? 0 : ramp_i(s, 0);
      ASSERT_EQ(all[s], std::make_pair(i, int16_t(-i))) << "sample " << s;
    }
  }
}

TEST_F(UdpAppTest, RingWrapsWithoutABlockAcrossItsEnd) {
  StreamerConfig config;
  config.count = 100;  // 50 blocks: the 64 KiB ring holds 32
  config.datagrams_per_second = 5000;
  start_receiver(config);
  app->start_stream();

  expect_blocks(50);
  EXPECT_EQ(first_mismatch([](uint32_t s) { return ramp_i(s, 0); }), -1);
  std::lock_guard<std::mutex> hold(capture.lock);
  const uint8_t* ring = capture.pointers[0];  // a fresh ring starts at offset 0
  for (size_t k = 0; k < capture.pointers.size(); ++k)
    EXPECT_EQ(capture.pointers[k] - ring, long((k * BLOCK_BYTES) % UDP_RING_BYTES)) << "block " << k;
}

// A datagram that leaves output in the ring's last bytes when the output
// length grows: writing restarts at 0 and the next block ends at the ring's
// end, never beyond.
TEST_F(UdpAppTest, RingRestartsAtZeroWhenAnOutputNoLongerFitsAtItsEnd) {
  StreamerConfig config;
  config.rx_mode = RX_QUAD;
  config.count = 255;  // 255 x 256 bytes: the ring's end minus 256 bytes
  config.datagrams_per_second = 10000;
  start_receiver(config);
  app->set_rx_mode(RX_QUAD);
  app->start_stream();
  ASSERT_TRUE(eventually([&] { return app->packet_count.load() == 255; }));
  EXPECT_EQ(block_count(), 31u);
  app->set_rx_mode(RX_SINGLE);  // 1024 bytes no longer fit at 65280
  app->start_stream();          // the receiver sends another run
  EXPECT_TRUE(eventually([&] { return block_count() >= 33; }));

  std::lock_guard<std::mutex> hold(capture.lock);
  const uint8_t* ring = capture.pointers[0];
  for (const uint8_t* p : capture.pointers) EXPECT_LE(p - ring + BLOCK_BYTES, UDP_RING_BYTES);
  EXPECT_EQ(capture.pointers[31] - ring, 31 * BLOCK_BYTES);
  EXPECT_EQ(capture.pointers[32] - ring, 0);
}

TEST_F(UdpAppTest, ContinuousRampArrivesWithoutLossOrDuplication) {
  StreamerConfig config;
  config.rx_mode = RX_QUAD;
  config.count = 5000;
  config.datagrams_per_second = 20000;  // the receiver's top rate in quad mode
  start_receiver(config);
  app->set_rx_mode(RX_QUAD);
  app->set_selected_channel(3);
  app->start_stream();

  EXPECT_TRUE(eventually([&] { return block_count() >= 625; }, 10000ms));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(block_count(), 625u);
  EXPECT_EQ(first_mismatch([](uint32_t s) { return ramp_i(s, 2); }), -1);
}

// Short datagrams (and datagrams with an unknown header byte, whose samples
// sit where a short header's do) between the full ones: every full one's
// samples still arrive.
TEST_F(UdpAppTest, ShortDatagramsAreDroppedAndTheStreamGoesOn) {
  StreamerConfig config;
  config.count = 60;
  config.short_every = 5;
  config.short_length = 3;
  config.malformed_every = 7;
  start_receiver(config);
  app->start_stream();

  expect_blocks(30);
  EXPECT_EQ(streamer->faults_sent(), 12);
  EXPECT_EQ(first_mismatch([](uint32_t s) { return ramp_i(s, 0); }), -1);
  EXPECT_EQ(app->packet_count.load(), 60);
}

TEST_F(UdpAppTest, RequestStopEndsTheThreadWhileDatagramsKeepArriving) {
  StreamerConfig config;
  config.datagrams_per_second = 20000;
  start_receiver(config);
  app->start_stream();
  ASSERT_TRUE(eventually([&] { return block_count() > 100; }));

  app->request_stop();
  EXPECT_TRUE(app->wait(1000));
  EXPECT_TRUE(streamer->streaming());
}

TEST_F(UdpAppTest, StartDatagramIsRepeatedUntilDataArrive) {
  const struct {
    const char* name;
    bool silent;
    int answer_after;
    int expected_starts;
  } rows[] = {{"answers at once", false, 1, 1}, {"answers the third", false, 3, 3}, {"silent", true, 1, 10}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    if (&r != rows) restart_fixture();
    StreamerConfig config;
    config.silent = r.silent;
    config.answer_after = r.answer_after;
    config.datagrams_per_second = 1000;
    start_receiver(config);
    app->start_stream();
    std::this_thread::sleep_for(1300ms);
    EXPECT_EQ(streamer->start_datagrams_seen(), r.expected_starts);
    EXPECT_TRUE(app->isRunning());  // a silent receiver is simply waited for
  }
}

// The window starts the stream twice in a row (its click and the next poll):
// the second start, with data flowing, sends one start datagram and returns.
TEST_F(UdpAppTest, StartWhileRunningAsksOnceAndReturnsWhenDataFlow) {
  StreamerConfig config;
  config.datagrams_per_second = 2000;
  start_receiver(config);
  app->start_stream();
  ASSERT_TRUE(eventually([&] { return block_count() > 2; }));

  const auto began = std::chrono::steady_clock::now();
  app->start_stream();
  const auto took = std::chrono::steady_clock::now() - began;

  EXPECT_EQ(streamer->start_datagrams_seen(), 2);
  EXPECT_LT(took, 100ms);
}

TEST_F(UdpAppTest, BroadcastModeSendsNoStartDatagramFromStartStream) {
  StreamerConfig config;
  config.datagrams_per_second = 2000;
  config.header_kind = 24;
  start_receiver(config);
  app->set_broadcast_flag(1);
  app->start_stream();
  ASSERT_TRUE(eventually([&] { return block_count() > 2; }));
  app->start_stream();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(streamer->start_datagrams_seen(), 1);  // the thread's own handshake only
}

// A stop followed at once by a start (stream switched off and on) must leave
// the stream running, also when the start comes while the last run is still
// closing its socket.
TEST_F(UdpAppTest, StopFollowedAtOnceByStartLeavesTheStreamRunning) {
  StreamerConfig config;
  config.datagrams_per_second = 5000;
  start_receiver(config);
  app->start_stream();
  ASSERT_TRUE(eventually([&] { return block_count() > 2; }));
  for (int delay_us = 0; delay_us < 600; delay_us += 4) {
    app->request_stop();
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
    app->start_stream();
    const size_t before = block_count();
    ASSERT_TRUE(eventually([&] { return block_count() > before + 2; }, 1000ms))
        << "stream stopped after a restart " << delay_us << " us after the stop";
  }
}

TEST_F(UdpAppTest, PortThatCannotBeBoundEndsTheThreadAtOnce) {
  const int holder = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t length = sizeof at;
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);  // no address reuse
  getsockname(holder, reinterpret_cast<sockaddr*>(&at), &length);
  app->set_port(ntohs(at.sin_port));
  app->set_peer_address(QHostAddress("127.0.0.2"));

  app->start_stream();

  EXPECT_TRUE(app->wait(500));
  close(holder);
}

// Runs `body` in a child process inside user and network namespaces of its
// own, with loopback up, multicast on it and a multicast route through it, so
// that multicast traffic cannot leave them. Returns the body's result, or -1
// when the namespaces cannot be made here.
int in_own_multicast_namespace(const std::function<int()>& body) {
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) _exit(100);
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    if (system("ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo") != 0)
      _exit(100);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 100) return -1;
  return WEXITSTATUS(status);
}

std::atomic<int> multicast_blocks{0};
void count_multicast_block(int count, int, float, void*) {
  if (count == SAMPLES_PER_BLOCK) multicast_blocks++;
}

// Sends 20 mode-0 datagrams to the receiver's multicast group and returns
// how many UDP_App took: with `multicast` it joins the group, without it
// none arrive.
int datagrams_taken_from_group(int multicast) {
  constexpr uint16_t PORT = 50000;  // the namespace is private
  UDP_App app;
  receiver_state().set_host_callback(count_multicast_block);
  app.set_port(PORT);
  app.set_peer_address(QHostAddress("127.0.0.2"));
  app.set_multicast(multicast);
  app.start_stream();
  std::this_thread::sleep_for(200ms);  // options are set before the handshake

  const int sender = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in group{};
  group.sin_family = AF_INET;
  group.sin_port = htons(PORT);
  inet_pton(AF_INET, "238.255.0.2", &group.sin_addr);
  uint8_t datagram[1028] = {4};
  for (int i = 0; i < 20; ++i)
    sendto(sender, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
  close(sender);
  eventually([&] { return app.packet_count.load() >= 20; }, 1000ms);
  app.request_stop();
  app.wait(2000);
  return app.packet_count.load();
}

TEST(UdpAppMulticast, JoinsTheReceiversGroupWhenAsked) {
  const int with_group = in_own_multicast_namespace([] { return datagrams_taken_from_group(1); });
  if (with_group < 0) GTEST_SKIP() << "no user and network namespace for a multicast route here";
  EXPECT_EQ(with_group, 20);
  EXPECT_EQ(in_own_multicast_namespace([] { return datagrams_taken_from_group(0); }), 0);
}

}  // namespace
