// The status poll of the window linked into the test: the whole start-up
// sequence against the simulated network receiver on 127.0.0.2 and against a
// simulated HID receiver, the receiver-reported frequency, a silent
// receiver, an unplugged HID receiver and the AGC feedback poll.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLCDNumber>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <mutex>
#include <vector>

#include "plugin/receiver_state.h"
#include "sim/hid_sim.h"
#include "sim/tcp_control_server.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"
#include "usb/device_link.h"
#include "usb/startup_sequence.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Messages = std::vector<Bytes>;

std::mutex status_lock;
std::vector<int> statuses;
void record_status(int count, int status, float, void*) {
  if (count >= 0) return;
  std::lock_guard<std::mutex> hold(status_lock);
  statuses.push_back(status);
}
int count_status(int status) {
  std::lock_guard<std::mutex> hold(status_lock);
  return static_cast<int>(std::count(statuses.begin(), statuses.end(), status));
}

bool is_tunnel(const Bytes& m, uint8_t code) { return m.size() >= 4 && m[1] == 0xE0 && m[2] == 2 && m[3] == code; }
bool is_frequency_item(const Bytes& m) { return m.size() == 10 && m[2] == 0x20 && m[3] == 0; }
uint32_t item_frequency(const Bytes& m) { return m[5] | (m[6] << 8) | (m[7] << 16) | (uint32_t(m[8]) << 24); }
int count_tunnel(const Messages& ms, uint8_t code) {
  return static_cast<int>(std::count_if(ms.begin(), ms.end(), [code](const Bytes& m) { return is_tunnel(m, code); }));
}

class NetworkPollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    statuses.clear();
    receiver_state().set_host_callback(record_status);
    ControlServerConfig config;
    config.port = 0;
    server_ = std::make_unique<TcpControlServer>(config);
    ASSERT_TRUE(server_->start()) << server_->error();
  }
  void TearDown() override {
    window_.reset();
    server_->stop();
    receiver_state().set_host_callback(nullptr);
  }
  void open_window() {
    use_settings("[General]\nnetwork_enable_flag=1\nsdr_ip_address=127.0.0.2\nudp_port=" +
                 std::to_string(server_->port()) + "\nsdr_sample_rate=1000000\nfrequency_ch1=7050000\n");
    window_ = std::make_unique<MainWindow>();
  }
  bool startup_done(int ms = 5000) {
    return pump_until([this] { return window_->startup_pending == 0 && window_->last_sent_frequency != 0; }, ms);
  }
  Ui::MainWindow* ui() { return window_->widgets(); }

  std::unique_ptr<TcpControlServer> server_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(NetworkPollTest, TheWholeStartUpSequenceReadsTheReceiverThenTunes) {
  open_window();
  ASSERT_TRUE(startup_done()) << "step " << poll_state().startup_step;
  pump_until([this] { return server_->wait_for([](const Messages& ms) {
    return std::any_of(ms.begin(), ms.end(), is_frequency_item); }, 0); });
  const Messages ms = server_->messages();
  ASSERT_FALSE(ms.empty());
  EXPECT_EQ(ms[0], (Bytes{0x09, 0xE0, 0x02, 0x04, 0xFB, 0x00, 0x00, 0x00, 0x00})) << "front-end status first";
  for (uint8_t skipped : {0x10, 0x11, 0x12, 0x14}) EXPECT_EQ(count_tunnel(ms, skipped), 0) << int(skipped);
  for (uint8_t asked : {0x09, 0x0F, 0x55, 0x13, 0x1D, 0x25, 0x20, 0x22, 0x33, 0x36, 0x4C, 0x47, 0x5B})
    EXPECT_GE(count_tunnel(ms, asked), 1) << int(asked);
  const auto rate = std::find(ms.begin(), ms.end(), Bytes{0x09, 0x00, 0xB8, 0x00, 0x00, 0x40, 0x42, 0x0F, 0x00});
  ASSERT_NE(rate, ms.end()) << "the stored sample rate as an item";
  const auto vhf = std::find_if(ms.begin(), ms.end(), [](const Bytes& m) { return is_tunnel(m, 0x5B); });
  const auto frequency = std::find_if(ms.begin(), ms.end(), is_frequency_item);
  ASSERT_NE(frequency, ms.end());
  EXPECT_GT(frequency, vhf) << "the first frequency follows the sequence";
  EXPECT_EQ(item_frequency(*frequency), 7050000u);
  EXPECT_EQ(receiver_state().sample_rate(), 1000000);
  EXPECT_GE(count_status(STATUS_SAMPLE_RATE_CHANGED), 1);
  EXPECT_EQ(ui()->label_6->text(), "FirmWare Verision: 0523");
  EXPECT_EQ(ui()->label_Serial_Number_2->text(), "20230519");
  EXPECT_EQ(ui()->label_hw_cpld_sn->text(), "HW/CPLD version: 00010002\n\r");
  EXPECT_EQ(ui()->label_11->text(), "FrontEnd Main Clock Frequency:  80000000(Hz)");
  EXPECT_EQ(ui()->radioButton_2->text(), "FE is working properly");
  EXPECT_EQ(ui()->label_diversity_mode->text(), "Single Channel RX mode");
  EXPECT_EQ(window_->main_clock, 80000000u);
}

TEST_F(NetworkPollTest, AReceiverReportedFrequencyIsShownStoredAndNotSentBack) {
  open_window();
  ASSERT_TRUE(startup_done());
  pump_events(200);
  const int reports_before = count_status(STATUS_LO_CHANGED);
  server_->send_frequency_report(7100000);
  ASSERT_TRUE(pump_until([this] { return ui()->lcdNumber3->intValue() == 7100000; }));
  pump_events(300);
  EXPECT_EQ(window_->tuned_frequency, 7100000);
  EXPECT_EQ(receiver_state().lo_frequency(), 7100000);
  EXPECT_EQ(ui()->lcdNumber1->intValue(), 7100000);
  EXPECT_EQ(settings_store().read_int("frequency_ch1", 0), 7100000);
  EXPECT_EQ(count_status(STATUS_LO_CHANGED), reports_before + 1);
  const Messages ms = server_->messages();
  EXPECT_TRUE(std::none_of(ms.begin(), ms.end(),
                           [](const Bytes& m) { return is_frequency_item(m) && item_frequency(m) == 7100000; }))
      << "the receiver's own frequency is not sent back";
}

TEST_F(NetworkPollTest, ASilentReceiverLeavesTheSequenceWaitingWithoutBlockingTheWindow) {
  server_->set_silent(true);
  open_window();
  int ticks = 0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&ticks] { ++ticks; });
  probe.start(20);
  pump_events(1000);
  EXPECT_EQ(window_->startup_pending, 1);
  EXPECT_EQ(poll_state().startup_step, 1) << "step 0 waits for its answer";
  EXPECT_EQ(poll_state().awaiting_answer, 1);
  EXPECT_GE(ticks, 30) << "the event loop kept running";
  EXPECT_EQ(server_->messages().size(), 1u);
}

TEST_F(NetworkPollTest, AgcFeedbackAsksOncePerSecondWithoutDisturbingTheSequence) {
  open_window();
  ui()->checkBox_agc_feedback->setChecked(true);
  ASSERT_TRUE(startup_done());
  const int before = count_tunnel(server_->messages(), 0x46);
  pump_events(3100);
  const int asked = count_tunnel(server_->messages(), 0x46) - before;
  EXPECT_GE(asked, 2);
  EXPECT_LE(asked, 4);
  EXPECT_EQ(poll_state().startup_step, 0);
}

TEST(HidPoll, TheSequenceRunsOverHidAndAnUnpluggedReceiverShowsHidapisTextAndStopsSending) {
  hid_sim::reset();
  hid_sim::attach(0x255D, 0x0002);
  use_settings("[General]\nfrequency_ch1=7050000\n");
  MainWindow window;
  ASSERT_EQ(hid_status, LINK_HID);
  ASSERT_TRUE(pump_until([&] { return window.startup_pending == 0 && window.last_sent_frequency != 0; }, 8000))
      << "step " << poll_state().startup_step;
  std::vector<uint8_t> codes;
  for (const hid_sim::Write& w : hid_sim::writes()) codes.push_back(w.bytes[0] == 2 ? w.bytes[1] : 0);
  for (uint8_t asked : {0x10, 0x11, 0x12, 0x14, 0x0E})
    EXPECT_NE(std::find(codes.begin(), codes.end(), asked), codes.end()) << int(asked);
  EXPECT_EQ(window.widgets()->label_6->text(), "FirmWare Verision: 0523");

  hid_sim::unplug();
  window.tuned_frequency = 7060000;  // something to send, were the link still used
  ASSERT_TRUE(pump_until([] { return hid_status == LINK_NONE; }));
  const size_t writes = hid_sim::writes().size();
  pump_events(1200);
  EXPECT_EQ(window.widgets()->radioButton->text(), "hid_read/write: device disconnected");
  EXPECT_EQ(window.widgets()->radioButton_2->text(), "FE disconnected");
  EXPECT_EQ(hid_sim::writes().size(), writes) << "nothing is sent after the loss";
}

}  // namespace
