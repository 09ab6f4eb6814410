// The sample stream end to end: the real plug-in loaded through dlopen, its
// window on its own GUI thread (offscreen), against the simulated receiver,
// over the network (TCP control server and UDP streamer on 127.0.0.2) and
// over the mass-storage link (the FUSE drive).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDial>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/msd_drive.h"
#include "sim/tcp_control_server.h"
#include "sim/udp_streamer.h"
#include "support/fresh_plugin.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// What reached the host callback.
struct HostSide {
  std::mutex lock;
  std::vector<uint16_t> i_values;  // I of every sample, in order
  int bad_q = 0;                   // samples whose Q is not -I
  int blocks = 0;
  std::vector<int> statuses;
} host;

void host_callback(int count, int status, float, void* data) {
  std::lock_guard<std::mutex> l(host.lock);
  if (count > 0 && data) {
    const int16_t* iq = static_cast<const int16_t*>(data);
    for (int k = 0; k < count; ++k) {
      host.i_values.push_back(uint16_t(iq[2 * k]));
      if (uint16_t(iq[2 * k] + iq[2 * k + 1]) != 0) ++host.bad_q;
    }
    ++host.blocks;
  } else {
    host.statuses.push_back(status);
  }
}

void reset_host() {
  std::lock_guard<std::mutex> l(host.lock);
  host.i_values.clear();
  host.bad_q = 0;
  host.blocks = 0;
  host.statuses.clear();
}

int blocks_seen() {
  std::lock_guard<std::mutex> l(host.lock);
  return host.blocks;
}

// Breaks in the ramp: places where I does not climb by one.
int ramp_breaks() {
  std::lock_guard<std::mutex> l(host.lock);
  int breaks = host.bad_q;
  for (size_t k = 1; k < host.i_values.size(); ++k)
    if (uint16_t(host.i_values[k] - host.i_values[k - 1]) != 1) ++breaks;
  return breaks;
}

int count_status(int status) {
  std::lock_guard<std::mutex> l(host.lock);
  return int(std::count(host.statuses.begin(), host.statuses.end(), status));
}

template <typename Done>
bool wait_until(Done done, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (!done() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

bool saw(const std::vector<Bytes>& messages, const Bytes& m) {
  return std::find(messages.begin(), messages.end(), m) != messages.end();
}
size_t count_of(const std::vector<Bytes>& messages, const Bytes& m) {
  return size_t(std::count(messages.begin(), messages.end(), m));
}

void open_receiver(FreshPlugin& plugin) {
  char name[256] = {}, model[256] = {};
  int type = 0;
  ASSERT_TRUE(plugin.api.InitHW(name, model, &type)) << name;
  plugin.api.SetCallback(host_callback);
  ASSERT_TRUE(plugin.api.OpenHW());
}

constexpr int STATUS_GAIN_CHANGED = 125;

// The gain byte of the last tunnelled RF-gain command (-1 = none): a tunnel
// message is its length, E0, then the command report (id, 08, gain, channel).
int last_gain_sent(const std::vector<Bytes>& messages) {
  int gain = -1;
  for (const Bytes& m : messages)
    if (m.size() >= 5 && m[1] == 0xE0 && m[3] == 0x08) gain = m[4];
  return gain;
}

// Drags the RF gain dial on the plug-in's GUI thread, as a user would.
void drag_gain_dial(int position) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [position] {
        for (QWidget* top : QApplication::topLevelWidgets())
          if (auto* dial = top->findChild<QDial*>("dial_2")) {
            dial->setSliderDown(true);
            dial->setSliderPosition(position);
            dial->setSliderDown(false);
          }
      },
      Qt::BlockingQueuedConnection);
}

const Bytes RUN_ITEM = {0x08, 0x00, 0x18, 0x00, 0x80, 0x02, 0x00, 0x00};
const Bytes STOP_ITEM = {0x08, 0x00, 0x18, 0x00, 0x80, 0x01, 0x00, 0x00};
const Bytes PACKET_SIZE_ITEM = {0x05, 0x00, 0xC4, 0x00, 0x00};
const Bytes TUNE_7050_KHZ = {0x0A, 0x00, 0x20, 0x00, 0x00, 0x10, 0x93, 0x6B, 0x00, 0x00};

}  // namespace

TEST(StreamEndToEnd, NetworkStartStreamsTheRampAndStopSendsTheStopItem) {
  reset_host();
  const uint16_t port = uint16_t(40000 + getpid() % 20000);
  ControlServerConfig control_config;
  control_config.port = port;
  TcpControlServer control(control_config);
  ASSERT_TRUE(control.start()) << control.error();
  StreamerConfig stream_config;
  stream_config.port = port;
  stream_config.datagrams_per_second = 500;
  UdpStreamer streamer(stream_config);
  ASSERT_TRUE(streamer.start()) << streamer.error();

  FreshPlugin plugin("[General]\nnetwork_enable_flag=1\nsdr_ip_address=127.0.0.2\nudp_port=" +
                     std::to_string(port) + "\n");
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  open_receiver(plugin);
  ASSERT_TRUE(wait_until([&] { return control.client_connected(); }, 5000));

  ASSERT_EQ(plugin.api.StartHW(7000000), 512);
  ASSERT_TRUE(wait_until([] { return blocks_seen() >= 100; }, 10000))
      << blocks_seen() << " blocks; starts seen " << streamer.start_datagrams_seen();
  EXPECT_GE(streamer.start_datagrams_seen(), 1);
  const std::vector<Bytes> started = control.messages();
  EXPECT_TRUE(saw(started, PACKET_SIZE_ITEM));
  EXPECT_TRUE(saw(started, RUN_ITEM));
  EXPECT_EQ(ramp_breaks(), 0);

  // A frequency the host sets goes on the wire, and the host is not told of
  // a change it made itself.
  const int lo_notices = count_status(101);
  EXPECT_EQ(plugin.api.SetHWLO(7050000), 0);
  EXPECT_TRUE(control.wait_for([](const std::vector<Bytes>& m) { return saw(m, TUNE_7050_KHZ); }, 3000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(count_status(101), lo_notices);

  // The host's gains reach the receiver in the order it set them (a newer
  // pending message may replace an older one, never the other way round),
  // and the host hears of a gain change only from a user's drag of the dial.
  // The status poll holds the gain to the host's attenuator step (6 = gain
  // 48), so the step is set first.
  const int gain_notices = count_status(STATUS_GAIN_CHANGED);
  EXPECT_EQ(plugin.api.SetAttenuator(6), 0);
  plugin.api.SetRFGain(40);
  plugin.api.SetRFGain(48);
  EXPECT_TRUE(control.wait_for([](const std::vector<Bytes>& m) { return last_gain_sent(m) == 48; }, 3000))
      << "last gain on the wire: " << last_gain_sent(control.messages());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(count_status(STATUS_GAIN_CHANGED), gain_notices) << "a host-set gain was reported back";
  drag_gain_dial(100);  // the drag that follows the host's own setting is not reported
  drag_gain_dial(64);
  EXPECT_TRUE(wait_until([&] { return count_status(STATUS_GAIN_CHANGED) == gain_notices + 1; }, 2000))
      << count_status(STATUS_GAIN_CHANGED) - gain_notices << " gain notices after two drags";

  const size_t stops_before = count_of(control.messages(), STOP_ITEM);
  plugin.api.StopHW();
  EXPECT_TRUE(control.wait_for(
      [&](const std::vector<Bytes>& m) { return count_of(m, STOP_ITEM) > stops_before; }, 3000));
  const int blocks_at_stop = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    return blocks_seen();
  }();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(blocks_seen(), blocks_at_stop) << "blocks still arrive after the stop";
  EXPECT_EQ(ramp_breaks(), 0);
  plugin.api.CloseHW();
}

TEST(StreamEndToEnd, MassStorageStartReadsTheRampFromStreamDatAndStopEndsIt) {
  if (access("/dev/fuse", F_OK) != 0) GTEST_SKIP() << "/dev/fuse is absent: no simulated drive";
  reset_host();
  const std::string mount_point = make_scratch_dir("e2e-drive") + "/drive";
  MsdDrive drive;
  std::string error;
  ASSERT_TRUE(drive.mount(mount_point, &error)) << error;
  {
    FreshPlugin plugin("[General]\nsdr_path=" + mount_point + "/\n");
    ASSERT_TRUE(plugin.loaded) << plugin.error;
    open_receiver(plugin);
    ASSERT_EQ(plugin.api.StartHW(7000000), 512);
    ASSERT_TRUE(wait_until([] { return blocks_seen() >= 100; }, 10000)) << blocks_seen() << " blocks";
    EXPECT_GT(drive.stream_reads(), 0);
    EXPECT_EQ(ramp_breaks(), 0);
    auto streaming_commands = [&](uint8_t on) {
      int n = 0;
      for (const Bytes& c : drive.commands())
        if (c.size() >= 3 && c[1] == 0x1A && c[2] == on) ++n;
      return n;
    };
    EXPECT_GE(streaming_commands(1), 1);

    plugin.api.StopHW();
    EXPECT_TRUE(wait_until([&] { return streaming_commands(0) >= 1; }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const int blocks_at_stop = blocks_seen();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(blocks_seen(), blocks_at_stop) << "blocks still arrive after the stop";
    plugin.api.CloseHW();
  }
  drive.unmount();
}
