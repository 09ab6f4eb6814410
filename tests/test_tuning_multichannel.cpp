// The tuning and gain controls of the "SDR Control" page and the
// multichannel controls: what they tune, send, store and tell the host.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <vector>

#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "sim/hid_sim.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"
#include "usb/device_link.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<int> host_statuses;
void record_status(int count, int status, float, void*) {
  if (count < 0) host_statuses.push_back(status);
}

// A window on a simulated 7-byte HID receiver; `sent()` gives the reports
// handed to it since the window was built, from the command code on.
class WindowControls : public ::testing::Test {
 protected:
  void open(const std::string& settings = "") {
    hid_sim::reset();
    host_statuses.clear();
    receiver_state().set_host_callback(record_status);
    use_settings("[General]\n" + settings);
    hid_sim::attach(0x255D, 0x0002);
    window_ = std::make_unique<MainWindow>();
    ui_ = window_->widgets();
    ASSERT_EQ(hid_status, LINK_HID);
    mark();
  }
  void TearDown() override { receiver_state().set_host_callback(nullptr); }

  void mark() {
    since_ = hid_sim::writes().size();
    host_statuses.clear();
  }
  std::vector<Bytes> sent() const {
    std::vector<Bytes> out;
    const std::vector<hid_sim::Write> all = hid_sim::writes();
    for (size_t i = since_; i < all.size(); ++i) out.emplace_back(all[i].bytes.begin() + 1, all[i].bytes.end());
    return out;
  }
  static void drag(QAbstractSlider* slider, int position) {
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    slider->setSliderDown(false);
  }
  static void enter(QLineEdit* field, const QString& text) {
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
  }

  std::unique_ptr<MainWindow> window_;
  Ui::MainWindow* ui_ = nullptr;
  size_t since_ = 0;
};

}  // namespace

TEST_F(WindowControls, KnobStepsFollowTheWrapTheStepAndTheInversion) {
  open();
  ui_->dial->setValue(250);
  window_->tuned_frequency = 7000000;
  ui_->dial->setValue(3);  // forwards past 255
  EXPECT_EQ(window_->tuned_frequency, 7000010);
  ui_->dial->setValue(250);  // backwards past 0
  EXPECT_EQ(window_->tuned_frequency, 7000000);

  struct Step {
    int slider, step;
  };
  for (const Step& s : std::vector<Step>{{0, 1000000}, {6, 1}, {5, 10}}) {
    ui_->horizontalSlider_tune_step->setValue(s.slider);
    EXPECT_EQ(window_->tune_step, s.step);
    EXPECT_EQ(ui_->label_tune_step->text(), QString("Tune step x%1").arg(s.step));
  }
  window_->inversion = -1;
  ui_->dial->setValue(251);  // one step clockwise
  EXPECT_EQ(window_->tuned_frequency, 7000000 - 10);
  EXPECT_EQ(window_->host_tuned, 0);
}

TEST_F(WindowControls, LoEntryTakesTheMagnitudeAndTenDigitsBeyondInt32TuneToZero) {
  open();
  struct Case {
    const char* typed;
    int display, tuned;
  };
  for (const Case& c : std::vector<Case>{{"-7050000", -7050000, 7050000},
                                         {"2147483648", 0, 0},
                                         {"seven", 0, 0}}) {
    window_->last_sent_frequency = 1;
    enter(ui_->lineEdit, c.typed);
    EXPECT_EQ(window_->display_frequency, c.display) << c.typed;
    EXPECT_EQ(window_->tuned_frequency, c.tuned) << c.typed;
    EXPECT_EQ(window_->last_sent_frequency, 0);
    EXPECT_EQ(window_->heterodyne, 0);
    EXPECT_EQ(window_->inversion, 1);
  }
}

TEST_F(WindowControls, TransverterAddsTheStoredHeterodyneAndInversionFlipsTheBand) {
  open("tcvr_heterodyne_frequency=1268000000\nfrequency_ch1=28000000\n");
  ui_->checkBox->setChecked(true);
  EXPECT_EQ(window_->display_frequency, 1296000000);
  EXPECT_EQ(ui_->lineEdit_2->text(), "1268000000");
  ui_->checkBox_inversion_flag->setChecked(true);
  EXPECT_EQ(window_->display_frequency, 1268000000 - 28000000);
  EXPECT_NE(stored_settings().find("inversion_mode_flag=1"), std::string::npos);
  ui_->checkBox->setChecked(false);
  EXPECT_EQ(window_->display_frequency, 28000000);
  EXPECT_EQ(window_->heterodyne, 0);
  EXPECT_NE(stored_settings().find("transverter_mode_flag=0"), std::string::npos);
}

TEST_F(WindowControls, FeGainDragShowsTheFactorSendsTheCodeAndStoresTheStep) {
  open();
  drag(ui_->dial_FE_gain, 6);
  EXPECT_DOUBLE_EQ(ui_->lcdNumber_FE_gain->value(), 4.0);
  EXPECT_EQ(sent(), std::vector<Bytes>({{0x02, 0x07, 0x00, 0x00, 0x00, 0x00}}));
  EXPECT_NE(stored_settings().find("fe_gain=6"), std::string::npos);
  mark();
  ui_->dial_FE_gain->setValue(2);  // not a drag: nothing
  EXPECT_TRUE(sent().empty());
}

TEST_F(WindowControls, HostGainIsSentOnlyAfterStartUpAndADragTellsTheHostUnlessTheHostSetIt) {
  open();
  ASSERT_EQ(window_->startup_pending, 1);
  window_->set_rf_gain(0, 40);
  EXPECT_EQ(ui_->dial_2->value(), 40);
  EXPECT_TRUE(sent().empty()) << "no command during start-up";
  EXPECT_NE(stored_settings().find("rf_gain=40"), std::string::npos);

  window_->startup_pending = 0;
  window_->set_rf_gain(0, 48);
  EXPECT_EQ(sent(), std::vector<Bytes>({{0x08, 48, 0x00, 0x00, 0x00, 0x00}}));
  // The host set the gain: its drag notice is swallowed once.
  drag(ui_->dial_2, 127);
  EXPECT_EQ(receiver_state().att_index(), 15);
  EXPECT_TRUE(host_statuses.empty());
  drag(ui_->dial_2, 64);
  EXPECT_EQ(receiver_state().att_index(), 8);
  EXPECT_EQ(host_statuses, std::vector<int>({STATUS_ATTENUATOR_CHANGED}));
}

TEST_F(WindowControls, AgcOfTheSelectedChannelKeepsHostAttenuatorChangesOut) {
  open();
  window_->startup_pending = 0;
  window_->rf_gain_code[0] = 32;
  receiver_state().set_att_index(10);
  ui_->checkBox_agc1->setChecked(true);
  window_->sync_rf_gain_from_host();
  EXPECT_EQ(window_->rf_gain_code[0], 32);
  ui_->checkBox_agc1->setChecked(false);
  window_->sync_rf_gain_from_host();
  EXPECT_EQ(window_->rf_gain_code[0], 80);
}

TEST_F(WindowControls, ChannelSelectorFollowsTheRxMode) {
  open("frequency_ch1=7000000\n");
  window_->startup_pending = 0;
  window_->channel_frequency[3] = 14000000;
  struct Case {
    int mode, state_channel, tuned;
  };
  for (const Case& c : std::vector<Case>{{5, 3, 14000000}, {1, 0, 7000000}}) {
    ui_->comboBox_RX_Channel->setCurrentIndex(0);
    ui_->comboBox_RX_mode->setCurrentIndex(c.mode);
    ui_->comboBox_RX_Channel->setCurrentIndex(2);  // "RX Channel 3"
    EXPECT_EQ(window_->channel, 3) << "mode " << c.mode;
    EXPECT_EQ(receiver_state().channel_index(), c.state_channel) << "mode " << c.mode;
    EXPECT_EQ(window_->tuned_frequency, c.tuned) << "mode " << c.mode;
    EXPECT_EQ(udp_app().selected_channel(), 3);
    EXPECT_EQ(udp_app().rx_mode(), c.mode);
    EXPECT_EQ(ui_->checkBox_agc3->isEnabled(), c.mode == 5);
    EXPECT_NE(stored_settings().find("rx_channel_number=3"), std::string::npos);
  }
}

TEST_F(WindowControls, ModeZeroChannelChangeDuringStartUpSendsNoRxMode) {
  open();
  ASSERT_EQ(window_->startup_pending, 1);
  ui_->comboBox_RX_Channel->setCurrentIndex(1);
  for (const Bytes& report : sent()) EXPECT_NE(report[0], 0x30) << "CMD_SET_RX_MODE sent";
  EXPECT_EQ(window_->channel, 2);
}

TEST_F(WindowControls, PhaseDialsShowSixteenthsOfADegreeAndNco2WorksOnlyInDualMode) {
  open();
  struct Case {
    int value;
    double shown;
  };
  for (const Case& c : std::vector<Case>{{5760, 360.0}, {8, 0.5}}) {
    ui_->dial_Phase_shift->setValue(c.value);
    EXPECT_DOUBLE_EQ(ui_->lcdNumber_phase->value(), c.shown);
  }
  EXPECT_NE(stored_settings().find("phase_shift=8"), std::string::npos);

  window_->startup_pending = 1;  // keep RX-mode commands out of the count
  ui_->comboBox_RX_mode->setCurrentIndex(5);
  const int nco2 = window_->channel_frequency[2];
  mark();
  enter(ui_->lineEdit_NCO2_Frequency, "10100000");
  EXPECT_EQ(window_->channel_frequency[2], nco2);
  EXPECT_TRUE(sent().empty());
  ui_->comboBox_RX_mode->setCurrentIndex(2);
  mark();
  enter(ui_->lineEdit_NCO2_Frequency, "10100000");
  EXPECT_EQ(window_->channel_frequency[2], 10100000);
  EXPECT_EQ(sent(), std::vector<Bytes>({{0x20, 0x1D, 0x9A, 0x00, 0x02, 0x00}}));
}
