// The "Network" page: what its controls send to the receiver, what they store
// and what they show.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <vector>

#include "net/sample_rate_check.h"
#include "net/tcp_channel.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "sim/hid_sim.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"
#include "usb/device_link.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char RED_SPAN[] = "<span style=\" font-size:8pt; font-weight:600; color:red;\">%1</span>";
const char GREEN_OK[] = "<span style=\" font-size:8pt; font-weight:600; color:green;\">Ok!</span>";

// The reports the simulated HID receiver has been given since `since` of
// them, from the command code on (byte 0 is the report id).
std::vector<Bytes> reports_since(size_t since) {
  std::vector<Bytes> out;
  const std::vector<hid_sim::Write> all = hid_sim::writes();
  for (size_t i = since; i < all.size(); ++i) out.emplace_back(all[i].bytes.begin() + 1, all[i].bytes.end());
  return out;
}

Bytes pending_message() {
  const unsigned char* bytes = nullptr;
  const int length = tcp_pending(&bytes);
  return length > 0 ? Bytes(bytes, bytes + length) : Bytes();
}

std::vector<int> host_statuses;
void record_status(int count, int status, float, void*) {
  if (count < 0) host_statuses.push_back(status);
}

void press_return(QLineEdit* field, const QString& text) {
  field->setText(text);
  QTest::keyClick(field, Qt::Key_Return);
}

// A window on a 7-byte USB HID receiver (or none), or in network mode
// against 127.0.0.2 (nothing listens there, so the control channel only
// keeps its pending message).
class NetworkPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    hid_sim::reset();
    tcp_send(nullptr, 1);
    host_statuses.clear();
    receiver_state().set_host_callback(record_status);
  }
  void TearDown() override { receiver_state().set_host_callback(nullptr); }

  void open_usb_window(bool with_receiver = true) {
    use_settings("");
    if (with_receiver) hid_sim::attach(0x255D, 0x0002);
    window_ = std::make_unique<MainWindow>();
    ui_ = window_->widgets();
    if (with_receiver) {
      ASSERT_EQ(hid_status, LINK_HID);
    }
    sent_before_ = hid_sim::writes().size();
  }

  void open_network_window(const std::string& extra = "") {
    use_settings("[General]\nnetwork_enable_flag=1\nsdr_ip_address=127.0.0.2\nudp_port=50517\n" +
                 extra);
    udp_app().set_port(50517);
    window_ = std::make_unique<MainWindow>();
    ui_ = window_->widgets();
  }

  std::vector<Bytes> sent() { return reports_since(sent_before_); }
  QString console() const { return ui_->plainTextEdit_Network->toPlainText(); }

  std::unique_ptr<MainWindow> window_;
  Ui::MainWindow* ui_ = nullptr;
  size_t sent_before_ = 0;
};

}  // namespace

TEST(SampleRateCheck, DeliveredRateIsTheNearestClockDivision) {
  struct Case {
    uint32_t requested, clock, delivered;
  };
  for (const Case& c : std::vector<Case>{
           {250000, 80000000, 250000},    // 80e6 / (4 × 80)
           {300000, 80000000, 298507},    // n = 67: 298,507.46
           {30000000, 80000000, 20000000},  // beyond the top rate: n stays 1
           {0, 80000000, 0},              // no division by zero
           {250000, 0, 0},                // clock not yet known
           {4294967295u, 4294967295u, 1073741824},
       }) {
    EXPECT_EQ(deliverable_sample_rate(c.requested, c.clock), c.delivered)
        << c.requested << " of " << c.clock;
  }
}

TEST_F(NetworkPanel, SampleRateEntrySendsStoresTellsTheHostAndShowsWhetherItIsExact) {
  struct Case {
    const char* typed;
    uint32_t rate;
    QString label;
  };
  open_usb_window();
  window_->main_clock = 80000000;
  for (const Case& c : std::vector<Case>{
           {"250000", 250000, GREEN_OK},
           {" 300000", 300000, QString(RED_SPAN).arg("   298507")},
           {"fast", 0, QString(RED_SPAN).arg("        0")},
           {"-250000", 0, QString(RED_SPAN).arg("        0")},
       }) {
    const size_t before = hid_sim::writes().size();
    host_statuses.clear();
    press_return(ui_->lineEdit_network_Sample_Rate, c.typed);
    EXPECT_EQ(ui_->label_sample_rate_value->text(), c.label) << c.typed;
    EXPECT_EQ(window_->sample_rate, c.rate);
    EXPECT_EQ(receiver_state().sample_rate(), static_cast<int32_t>(c.rate));
    const Bytes rate_command = {0x1E, uint8_t(c.rate), uint8_t(c.rate >> 8),
                                uint8_t(c.rate >> 16), uint8_t(c.rate >> 24), 0x00};
    EXPECT_EQ(reports_since(before), std::vector<Bytes>({rate_command})) << c.typed;
    EXPECT_EQ(host_statuses, std::vector<int>({STATUS_SAMPLE_RATE_CHANGED}));
    EXPECT_NE(stored_settings().find("sdr_sample_rate=" + std::to_string(c.rate)), std::string::npos);
  }
}

TEST_F(NetworkPanel, SampleRateEntryInNetworkModeSendsTheItem) {
  open_network_window();
  press_return(ui_->lineEdit_network_Sample_Rate, "250000");
  EXPECT_EQ(pending_message(), Bytes({0x09, 0x00, 0xB8, 0x00, 0x00, 0x90, 0xD0, 0x03, 0x00}));
}

TEST_F(NetworkPanel, SaveSendsChangedValuesToTheHidReceiverAndWritesFourLines) {
  open_usb_window();
  window_->port = 50000;
  ui_->lineEdit_udp_port->setText("   50000");
  ui_->lineEdit_sdr_ip_byte_4->setText("192.168.0.8");
  ui_->lineEdit_sdr_ip_mask_byte_4->setText("255.255.255.0");
  ui_->lineEdit_gateway_byte_4->setText("192.168.0.1");
  QTest::mouseClick(ui_->pushButton_5, Qt::LeftButton);

  // The port did not change, so no CMD_SET_DEST_PORT.
  EXPECT_EQ(sent(), std::vector<Bytes>({{0x15, 0x08, 0x00, 0xA8, 0xC0, 0x00},
                                        {0x16, 0x00, 0xFF, 0xFF, 0xFF, 0x00},
                                        {0x17, 0x01, 0x00, 0xA8, 0xC0, 0x00}}));
  EXPECT_EQ(console(),
            "UDP port:    50000 was sent!\nSDR IP: c0a80008 was sent!\n"
            "SDR IP mask: ffffff00 was sent!\nGateway IP: c0a80001 was sent!");
  const std::string ini = stored_settings();
  for (const char* line : {"udp_port=50000", "sdr_ip_address=192.168.0.8", "sdr_ip_mask=255.255.255.0",
                           "gateway_ip_address=192.168.0.1"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " missing from\n" << ini;
  EXPECT_EQ(window_->receiver_address, QHostAddress("192.168.0.8"));

  // A changed port is sent; `port` itself waits for the next start.
  ui_->lineEdit_udp_port->setText("50001");
  const size_t before = hid_sim::writes().size();
  QTest::mouseClick(ui_->pushButton_5, Qt::LeftButton);
  const std::vector<Bytes> again = reports_since(before);
  ASSERT_EQ(again.size(), 4u);
  EXPECT_EQ(again[0], Bytes({0x19, 0x51, 0xC3, 0x00, 0x00, 0x00}));
  EXPECT_EQ(window_->port, 50000);
}

TEST_F(NetworkPanel, SaveWithoutHidReceiverStoresAndWritesButSendsNothing) {
  open_usb_window(false);
  ui_->lineEdit_udp_port->setText("70000");  // not a port
  ui_->lineEdit_sdr_ip_byte_4->setText("receiver");
  ui_->lineEdit_sdr_ip_mask_byte_4->setText("255.255.0.0");
  ui_->lineEdit_gateway_byte_4->setText("10.0.0.1");
  QTest::mouseClick(ui_->pushButton_5, Qt::LeftButton);
  EXPECT_TRUE(hid_sim::writes().empty());
  EXPECT_EQ(console(),
            "UDP port:        0 was sent!\nSDR IP:        0 was sent!\n"
            "SDR IP mask: ffff0000 was sent!\nGateway IP:  a000001 was sent!");
  const std::string ini = stored_settings();
  for (const char* line : {"udp_port=0", "sdr_ip_address=0.0.0.0", "sdr_ip_mask=255.255.0.0",
                           "gateway_ip_address=10.0.0.1"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " missing from\n" << ini;
}

TEST_F(NetworkPanel, EditLockUnlocksTheFourEditableFields) {
  open_usb_window(false);
  const std::vector<QLineEdit*> editable = {ui_->lineEdit_sdr_ip_byte_4, ui_->lineEdit_sdr_ip_mask_byte_4,
                                            ui_->lineEdit_gateway_byte_4, ui_->lineEdit_udp_port};
  for (bool checked : {true, false}) {
    ui_->checkBox_3->setChecked(checked);
    for (QLineEdit* field : editable)
      EXPECT_EQ(field->isReadOnly(), !checked) << field->objectName().toStdString();
    EXPECT_TRUE(ui_->lineEdit_dst_ip_byte_4->isReadOnly());
  }
}

TEST_F(NetworkPanel, LinkChoiceIsStoredAndEveryToggleButTheFirstSaysSo) {
  open_usb_window(false);
  ui_->checkBox_enable_network->setChecked(true);
  EXPECT_EQ(console(), "");
  EXPECT_NE(stored_settings().find("network_enable_flag=1"), std::string::npos);
  ui_->checkBox_enable_network->setChecked(false);
  ui_->checkBox_enable_network->setChecked(true);
  EXPECT_EQ(console(),
            "Network interface was disabled!\n Pleas reload software to run with new setting!!!\n\n"
            "Network interface was enabled!\n Pleas reload software to run with new setting!!!\n");
  EXPECT_EQ(window_->network_mode, 0) << "the link changes only at the next start";
}

TEST_F(NetworkPanel, StreamStartAndStopOnTheHidLink) {
  open_usb_window();
  QTest::mouseClick(ui_->checkBox_start_UDP, Qt::LeftButton);
  EXPECT_EQ(receiver_state().run_request(), 1);
  window_->start_stop_stream(false);  // as the status poll does when the host stops
  EXPECT_FALSE(ui_->checkBox_start_UDP->isChecked());
  EXPECT_EQ(sent(), std::vector<Bytes>({{0x1A, 0x01, 0x00, 0x00, 0x00, 0x00},
                                        {0x1A, 0x00, 0x00, 0x00, 0x00, 0x00}}));
  window_->start_stop_stream(true);
  EXPECT_TRUE(ui_->checkBox_start_UDP->isChecked());
}

TEST_F(NetworkPanel, NetworkStreamRunsTheReceiverUnlessForwardedButAlwaysStopsIt) {
  open_network_window("internet_connect_flag=1\n");
  ASSERT_TRUE(ui_->checkBox_internet_forward->isChecked());
  window_->start_stop_stream(true);
  EXPECT_TRUE(ui_->checkBox_start_UDP->isChecked());
  EXPECT_TRUE(udp_app().isRunning());
  EXPECT_EQ(pending_message(), Bytes({0x05, 0x00, 0xC4, 0x00, 0x00})) << "no run item when forwarded";
  window_->start_stop_stream(false);
  EXPECT_EQ(pending_message(), Bytes({0x08, 0x00, 0x18, 0x00, 0x80, 0x01, 0x00, 0x00}));
  EXPECT_TRUE(udp_app().wait(2000));

  QTest::mouseClick(ui_->checkBox_internet_forward, Qt::LeftButton);
  EXPECT_NE(stored_settings().find("internet_connect_flag=0"), std::string::npos);
  ui_->checkBox_packet_size->setChecked(true);
  window_->start_stop_stream(true);
  EXPECT_EQ(pending_message(), Bytes({0x08, 0x00, 0x18, 0x00, 0x80, 0x02, 0x00, 0x00}));
  window_->start_stop_stream(false);
  EXPECT_TRUE(udp_app().wait(2000));
}

TEST_F(NetworkPanel, StreamOptionsAreSentAndStored) {
  open_usb_window();
  ui_->checkBox_broadcast_UDP->setChecked(true);
  ui_->checkBox_multicast->setChecked(true);
  QTest::mouseClick(ui_->checkBox_DHCP_Client, Qt::LeftButton);
  QTest::mouseClick(ui_->checkBox_DHCP_Server, Qt::LeftButton);
  QTest::mouseClick(ui_->checkBox_packet_size, Qt::LeftButton);
  const std::vector<Bytes> reports = sent();
  ASSERT_EQ(reports.size(), 4u);
  const std::vector<Bytes> expected = {{0x28, 0x01}, {0x31, 0x01}, {0x4D, 0x01}, {0x37, 0x01}};
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(Bytes(reports[i].begin(), reports[i].begin() + 2), expected[i]) << i;
  EXPECT_EQ(udp_app().broadcast_flag(), 1);
  EXPECT_EQ(window_->multicast, 1);
  EXPECT_EQ(pending_message(), Bytes({0x05, 0x00, 0xC4, 0x00, 0x01}));
  const std::string ini = stored_settings();
  EXPECT_NE(ini.find("broadcast_flag=1"), std::string::npos);
  EXPECT_NE(ini.find("multicast=1"), std::string::npos);
  ui_->checkBox_broadcast_UDP->setChecked(false);
  EXPECT_EQ(udp_app().broadcast_flag(), 0);
}

TEST_F(NetworkPanel, IdentityIsSentForTheThreeNamesAndSavedWhateverItIs) {
  open_usb_window();
  ui_->comboBox_SDR_ID->setCurrentIndex(1);
  ui_->comboBox_SDR_ID->setCurrentIndex(3);  // "No SDR ID": nothing
  ui_->pushButton_SaveID->click();
  EXPECT_EQ(sent(), std::vector<Bytes>({{0x32, 0x01, 0x00, 0x00, 0x00, 0x00},
                                        {0x34, 0x03, 0x00, 0x00, 0x00, 0x00}}));
}
