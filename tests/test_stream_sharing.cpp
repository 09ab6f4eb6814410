// Several windows on one PC sharing one network receiver through the shared
// segment, the stream selector, "Save Multi Stream" and the broadcast slave.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <memory>

#include "net/stream_share.h"
#include "net/udp_app.h"
#include "sim/hid_sim.h"
#include "sim/udp_streamer.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"

namespace {

const char NETWORK_SHARED[] =
    "[General]\nnetwork_enable_flag=1\nmulti_stream_flag=1\nudp_port=50000\n"
    "sdr_ip_address=127.0.0.2\nrivulet_discovery=0\n";

struct ControlStates {
  bool rf_gain_ch2, agc1, agc2, agc3, agc4, rx_channel;
  bool operator==(const ControlStates& o) const {
    return rf_gain_ch2 == o.rf_gain_ch2 && agc1 == o.agc1 && agc2 == o.agc2 && agc3 == o.agc3 &&
           agc4 == o.agc4 && rx_channel == o.rx_channel;
  }
};

ControlStates states_of(const MainWindow& w) {
  const Ui::MainWindow* ui = w.widgets();
  return {ui->dial_RF_Gain_ch2->isEnabled(), ui->checkBox_agc1->isEnabled(),
          ui->checkBox_agc2->isEnabled(),    ui->checkBox_agc3->isEnabled(),
          ui->checkBox_agc4->isEnabled(),    ui->comboBox_RX_Channel->isEnabled()};
}

uint32_t shared_word() {
  QSharedMemory probe(STREAM_SHARE_KEY);
  if (!probe.attach(QSharedMemory::ReadOnly)) return 0;
  const uint32_t word = *static_cast<const uint32_t*>(probe.constData());
  probe.detach();
  return word;
}

// The command codes and first parameter bytes the simulated HID receiver got.
std::vector<std::pair<int, int>> sent_commands() {
  std::vector<std::pair<int, int>> sent;
  for (const hid_sim::Write& w : hid_sim::writes())
    if (w.bytes.size() >= 3) sent.emplace_back(w.bytes[1], w.bytes[2]);
  return sent;
}

}  // namespace

TEST(StreamSharing, WindowsStartedInTurnGetStreamsAndPortsInTurn) {
  use_settings(NETWORK_SHARED);
  auto first = std::make_unique<MainWindow>();
  auto second = std::make_unique<MainWindow>();
  auto third = std::make_unique<MainWindow>();
  EXPECT_EQ(first->stream_number, 1);
  EXPECT_EQ(second->stream_number, 2);
  EXPECT_EQ(third->stream_number, 3);
  EXPECT_EQ(first->port, 50000);
  EXPECT_EQ(second->port, 50001);
  EXPECT_EQ(third->port, 50002);
  EXPECT_EQ(third->widgets()->lineEdit_udp_port->text(), "   50002");
  EXPECT_EQ(shared_word(), 0x7u);

  // Stream 1 keeps its own AGC box; the others keep channel 2's.
  EXPECT_EQ(states_of(*first), (ControlStates{false, true, false, false, false, false}));
  EXPECT_EQ(states_of(*second), (ControlStates{false, false, true, false, false, false}));

  second.reset();
  EXPECT_EQ(shared_word(), 0x5u);
  MainWindow again;
  EXPECT_EQ(again.stream_number, 2);
  EXPECT_EQ(again.port, 50001);

  // The selector changes the controls at once, the port only at the next start.
  emit again.widgets()->comboBox_stream_number->activated(3);
  EXPECT_FALSE(again.widgets()->checkBox_agc1->isEnabled());
  EXPECT_EQ(again.stream_number, 2);
  EXPECT_EQ(again.port, 50001);
  EXPECT_NE(stored_settings().find("multi_stream_flag=3"), std::string::npos);
}

TEST(StreamSharing, SharingOffTouchesNoSegmentAndLeavesEverythingEnabled) {
  use_settings(
      "[General]\nnetwork_enable_flag=1\nmulti_stream_flag=0\nudp_port=50000\n"
      "sdr_ip_address=127.0.0.2\nrivulet_discovery=0\n");
  MainWindow w;
  EXPECT_EQ(w.stream_number, 0);
  EXPECT_EQ(w.port, 50000);
  EXPECT_FALSE(w.stream_share.isAttached());
  EXPECT_EQ(states_of(w), (ControlStates{true, true, true, true, true, true}));
  QSharedMemory probe(STREAM_SHARE_KEY);
  EXPECT_FALSE(probe.attach());
  EXPECT_EQ(probe.error(), QSharedMemory::NotFound);
}

TEST(StreamSharing, SelectorAndSaveButtonSendTheirCommands) {
  hid_sim::reset();
  hid_sim::attach(0x255D, 0x0002);
  use_settings("[General]\nnetwork_enable_flag=0\nmulti_stream_flag=0\n");
  MainWindow w;
  Ui::MainWindow* ui = w.widgets();
  ui->comboBox_stream_number->setCurrentIndex(3);
  emit ui->comboBox_stream_number->activated(3);
  ui->comboBox_stream_number->setCurrentIndex(0);
  emit ui->pushButton_MultiStream->pressed();
  ui->comboBox_stream_number->setCurrentIndex(4);
  emit ui->pushButton_MultiStream->pressed();
  std::vector<std::pair<int, int>> wanted = {{0x48, 3}, {0x4A, 0}, {0x4A, 1}}, seen;
  for (const auto& c : sent_commands())
    if (c.first == 0x48 || c.first == 0x4A) seen.push_back(c);
  EXPECT_EQ(seen, wanted);
  EXPECT_FALSE(ui->checkBox_agc1->isEnabled());
  EXPECT_FALSE(w.stream_share.isAttached()) << "USB mode claims no stream";
}

TEST(StreamSharing, SlaveHidesControlsAndStartsNothing) {
  use_settings(
      "[General]\nnetwork_enable_flag=1\nbroadcast_slave=1\nrivulet_discovery=1\n"
      "sdr_ip_address=127.0.0.2\nudp_port=50000\n");
  MainWindow w;
  Ui::MainWindow* ui = w.widgets();
  EXPECT_EQ(w.slave_mode, 1);
  EXPECT_TRUE(ui->checkBox_broadcast_slave->isChecked());
  EXPECT_TRUE(ui->pushButton->isHidden());
  EXPECT_TRUE(ui->pushButton_2->isHidden());
  EXPECT_TRUE(ui->led_2->isHidden());
  EXPECT_TRUE(ui->radioButton_2->isHidden());
  EXPECT_EQ(ui->radioButton->text(), "Broadcast Slave");
  EXPECT_EQ(w.startup_pending, 0);
  EXPECT_EQ(w.control_socket, nullptr);
  EXPECT_EQ(w.discovery_socket, nullptr);

  ui->checkBox_broadcast_slave->setChecked(false);
  EXPECT_EQ(w.slave_mode, 0);
  EXPECT_NE(stored_settings().find("broadcast_slave=0"), std::string::npos);
}

// A slave takes the stream with its extended headers and never opens or
// writes a control connection, even when it starts the stream.
TEST(StreamSharing, SlaveReceivesTheStreamWithoutAControlConnection) {
  QTcpServer control;
  ASSERT_TRUE(control.listen(QHostAddress("127.0.0.2"), 50000)) << control.errorString().toStdString();
  StreamerConfig config;
  config.header_kind = 24;
  config.rx_mode = 2;
  config.sample_rate = 1250000;
  config.frequency_ch1 = 7012345;
  config.frequency_ch2 = 14054321;
  config.datagrams_per_second = 500;
  UdpStreamer receiver(config);
  ASSERT_TRUE(receiver.start()) << receiver.error();

  use_settings(
      "[General]\nnetwork_enable_flag=1\nbroadcast_slave=1\nudp_port=50000\n"
      "sdr_ip_address=127.0.0.2\nrivulet_discovery=0\n");
  MainWindow w;
  w.start_stop_stream(true);
  EXPECT_TRUE(pump_until([] { return udp_app().header_frequency_ch1.load() == 7012345; }, 3000));
  EXPECT_EQ(udp_app().header_kind.load(), 24);
  EXPECT_EQ(udp_app().stream_rx_mode.load(), 2);
  EXPECT_EQ(udp_app().header_sample_rate.load(), 1250000);
  EXPECT_EQ(udp_app().header_frequency_ch2.load(), 14054321);
  w.start_stop_stream(false);
  pump_events(300);
  EXPECT_FALSE(control.hasPendingConnections()) << "a slave connected to the receiver's control port";
  EXPECT_EQ(w.control_socket, nullptr);
  receiver.stop();
}
