// The start-up step table and the status poll's decisions, without widgets:
// the commands each step sends (seen through the TCP tunnel, whose channel is
// unbound so every message stays pending), the network, mass-storage and HID
// variants, waiting and finishing, and the decision tables of the poll.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/tcp_channel.h"
#include "plugin/receiver_state.h"
#include "usb/answer_dispatch.h"
#include "usb/device_link.h"
#include "usb/startup_sequence.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct FakeWindow : StartupWindow {
  int slave = 0, network = 1, mode = 0, stored_rate = 1000000;
  std::vector<std::string> calls;
  int slave_mode() const override { return slave; }
  int network_mode() const override { return network; }
  int rx_mode() const override { return mode; }
  int broadcast() const override { return 1; }
  int multicast() const override { return 0; }
  int stream_number() const override { return 2; }
  void apply_stored_fe_gain() override { calls.push_back("fe gain"); }
  int show_channel0_gain() override { calls.push_back("gain ch0"); return 40; }
  void notify_second_channel_gain() override { calls.push_back("gain ch2"); }
  void apply_stored_phase_shift() override { calls.push_back("phase"); }
  uint32_t adopt_stored_sample_rate() override { calls.push_back("rate"); return stored_rate; }
  void show_stream_number() override { calls.push_back("stream"); }
  void startup_finished() override { calls.push_back("finished"); }
};

// What one step put on the wire: the tunnelled report (its bytes after the
// 2-byte header) or an item message whole; empty when nothing was sent.
Bytes pending_message() {
  const unsigned char* bytes = nullptr;
  const int n = tcp_pending(&bytes);
  Bytes m(bytes, bytes + n);
  tcp_send(nullptr, 1);
  return m;
}

class StartupSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tcp_bind_window(nullptr);
    tcp_send(nullptr, 1);
    network_tunnel = 1;
    report_length = 7;
    hid_status = LINK_NONE;
    poll_state() = PollState{};
  }
  void TearDown() override { network_tunnel = 0; hid_status = LINK_NONE; }

  // Runs the sequence to its end, answering every step at once; returns the
  // messages, one per tick (empty for a tick that sent nothing).
  std::vector<Bytes> run_all(FakeWindow& w) {
    std::vector<Bytes> ticks;
    int pending = 1;
    for (int guard = 0; pending && guard < 100; ++guard) {
      run_startup_step(w, &pending, 0);
      ticks.push_back(pending_message());
    }
    return ticks;
  }

  FakeWindow window;
};

Bytes tunnel(std::initializer_list<uint8_t> report) {
  Bytes m = {9, 0xE0};
  m.insert(m.end(), report);
  m.resize(9, 0);
  return m;
}

TEST_F(StartupSequenceTest, NetworkSequenceCollapsesSteps7To10AndSendsTheStoredRateAsAnItem) {
  const std::vector<Bytes> ticks = run_all(window);
  const std::vector<Bytes> expected = {
      tunnel({2, 0x04, 0xFB}),  // 0 FE status
      tunnel({2, 0x09}),        // 1 firmware
      tunnel({2, 0x0F}),        // 2 RX mode
      {},                       // 3 FE gain through the window (which sends it)
      tunnel({2, 0x55, 0}),     // 4 main clock, low half
      tunnel({2, 0x55, 1}),     // 5 high half
      tunnel({2, 0x08, 40, 0}), // 6 RF gain, channel 0
      {},                       // 7 -> 11
      tunnel({2, 0x13}),        // 11 destination address
      tunnel({2, 0x1D}),        // 12 serial number
      tunnel({2, 0x25}),        // 13 HW version
      tunnel({2, 0x20}),        // 14 VCO
      tunnel({2, 0x22}),        // 15 gain table
      tunnel({2, 0x28, 1}),     // 16 broadcast
      tunnel({2, 0x31, 0}),     // 17 multicast
      tunnel({2, 0x33}),        // 18 SDR id
      tunnel({2, 0x36}),        // 19 DHCP server
      {},                       // 20 (RX mode 0)
      tunnel({2, 0x4C}),        // 21 DHCP client
      {},                       // 22 (RX mode 0)
      {0x09, 0x00, 0xB8, 0x00, 0x00, 0x40, 0x42, 0x0F, 0x00},  // 23 sample-rate item
      tunnel({2, 0x47}),        // 24 AGC state
      tunnel({2, 0x5B}),        // 25 stream number, then the VHF clock (newest pending)
  };
  EXPECT_EQ(ticks, expected);
  EXPECT_EQ(receiver_state().sample_rate(), 1000000);
  EXPECT_EQ(window.calls,
            (std::vector<std::string>{"fe gain", "gain ch0", "rate", "stream", "finished"}));
  EXPECT_EQ(poll_state().startup_step, 0);
}

TEST_F(StartupSequenceTest, UsbVariantsQueryTheAddressesAndTheirOwnSampleRateStep) {
  window.network = 0;
  window.mode = 2;
  hid_status = LINK_HID;
  std::vector<Bytes> hid = run_all(window);
  ASSERT_EQ(hid.size(), 26u) << "every step runs on a USB link";
  EXPECT_EQ(hid[7], tunnel({2, 0x10}));
  EXPECT_EQ(hid[8], tunnel({2, 0x11}));
  EXPECT_EQ(hid[9], tunnel({2, 0x12}));
  EXPECT_EQ(hid[10], tunnel({2, 0x14}));
  EXPECT_EQ(hid[23], tunnel({2, 0x0E})) << "a HID receiver is asked for its rate";
  EXPECT_EQ(hid[25], tunnel({2, 0x5B}));
  EXPECT_EQ(window.calls, (std::vector<std::string>{"fe gain", "gain ch0", "gain ch2", "phase", "stream",
                                                    "finished"}));

  window.calls.clear();
  hid_status = LINK_MASS_STORAGE;
  std::vector<Bytes> msd = run_all(window);
  ASSERT_EQ(msd.size(), 26u);
  EXPECT_EQ(msd[23], tunnel({2, 0x1E, 0x40, 0x42, 0x0F, 0x00})) << "the stored rate is set by command";
  EXPECT_NE(std::find(window.calls.begin(), window.calls.end(), "rate"), window.calls.end());
}

TEST_F(StartupSequenceTest, AWaitingStepRunsNothingAndSlaveModeFinishesAtOnce) {
  int pending = 1;
  EXPECT_EQ(run_startup_step(window, &pending, 1), 1);
  EXPECT_TRUE(pending_message().empty());
  EXPECT_EQ(poll_state().startup_step, 0);

  EXPECT_EQ(run_startup_step(window, &pending, 0), 1) << "step 0 waits for its answer";
  EXPECT_EQ(poll_state().startup_step, 1);
  pending_message();

  window.slave = 1;
  EXPECT_EQ(run_startup_step(window, &pending, 1), 1) << "the awaiting value is returned unchanged";
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(poll_state().startup_step, 0);
  EXPECT_TRUE(pending_message().empty());
  EXPECT_EQ(window.calls.back(), "finished");
}

TEST(PollDecisions, OnlyConsoleGainsAndVhfClockAnswersLeaveAStepWaiting) {
  for (int code = 0; code < 256; ++code) {
    Answer a;
    a.kind = Answer::Status;
    a.code = static_cast<uint8_t>(code);
    EXPECT_EQ(answer_releases_startup(a), code != 10 && code != 70 && code != 91) << code;
  }
  Answer frequency;
  frequency.kind = Answer::Frequency;
  EXPECT_TRUE(answer_releases_startup(frequency));
  EXPECT_TRUE(answer_releases_startup(Answer{}));
}

TEST(PollDecisions, RxModeAnswerSelectsChannelAndFrequency) {
  const int cf[5] = {7000000, 0, 14000000, 21000000, 28000000};
  struct Case { uint32_t v; int channel; std::string text; int index; int new_channel; int tuned; };
  const Case cases[] = {
      {0, 2, "Single Channel RX mode", 0, 0, 7000000},
      {1, 2, "Diversity RX mode", 1, -1, 7000000},
      {1, 0, "Diversity RX mode", 0, -1, 7000000},
      {2, 2, "Dual Channel RX mode", 1, -1, 14000000},
      {2, 0, "Dual Channel RX mode", 0, -1, 7000000},
      {3, 4, "Diversity Single Channel RX mode", 0, 0, 7000000},
      {4, 3, "Diversity RX mode", 0, 0, 7000000},
      {5, 3, "", -1, -1, 123},
  };
  for (const Case& c : cases) {
    const RxModeView view = rx_mode_view(c.v, c.channel, cf, 123);
    EXPECT_EQ(view.text, c.text) << c.v;
    EXPECT_EQ(view.channel_index, c.index) << c.v << "/" << c.channel;
    EXPECT_EQ(view.channel, c.new_channel) << c.v;
    EXPECT_EQ(view.tuned_frequency, c.tuned) << c.v << "/" << c.channel;
  }
}

TEST(PollDecisions, PacketRateFactorAndFrequencySlot) {
  EXPECT_EQ(packet_rate_factor(LINK_NONE, 0, 0), 126);
  EXPECT_EQ(packet_rate_factor(LINK_NONE, 2, 0), 63);
  EXPECT_EQ(packet_rate_factor(LINK_NONE, 2, 1), 126);
  EXPECT_EQ(packet_rate_factor(LINK_NONE, 3, 0), 126);
  EXPECT_EQ(packet_rate_factor(LINK_MASS_STORAGE, 0, 0), 256);
  EXPECT_EQ(packet_rate_factor(LINK_MASS_STORAGE, 5, 0), 128);
  for (int mode : {1, 3, 4}) EXPECT_EQ(frequency_record_slot(mode, 2), 0);
  for (int mode : {0, 2, 5}) EXPECT_EQ(frequency_record_slot(mode, 2), 2);
}

TEST(PollDecisions, LinkCheck) {
  struct Case {
    const char* what; bool open; bool error; int network; int status; int generation; int slave;
    bool no_device; bool force_usb; LinkVerdict verdict;
  };
  const Case cases[] = {
      {"USB, nothing open", false, false, 0, LINK_NONE, 2, 0, true, false, LinkVerdict::Lost},
      {"HID working", true, false, 0, LINK_HID, 2, 0, false, false, LinkVerdict::Usable},
      {"HID unplugged", true, true, 0, LINK_HID, 2, 0, false, false, LinkVerdict::Lost},
      {"HID dropped earlier", true, true, 0, LINK_NONE, 2, 0, false, false, LinkVerdict::Lost},
      {"mass storage", false, false, 0, LINK_MASS_STORAGE, 2, 0, false, false, LinkVerdict::Usable},
      {"network", false, false, 1, LINK_NONE, 2, 0, false, false, LinkVerdict::Usable},
      {"network, 5-byte HID", true, false, 1, LINK_HID, 1, 0, false, true, LinkVerdict::Usable},
      {"network forced off, none", false, false, 1, LINK_NONE, 1, 0, false, true, LinkVerdict::Lost},
      {"slave, no link", false, false, 0, LINK_NONE, 2, 1, true, false, LinkVerdict::SlaveWithoutLink},
  };
  for (const Case& c : cases) {
    const LinkCheck check = check_link(c.open, c.error, c.network, c.status, c.generation, c.slave);
    EXPECT_EQ(check.no_device, c.no_device) << c.what;
    EXPECT_EQ(check.force_usb, c.force_usb) << c.what;
    EXPECT_EQ(check.verdict, c.verdict) << c.what;
  }
}

}  // namespace
