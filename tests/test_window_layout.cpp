// The control window's widget tree as uic builds it from window/mainwindow.ui,
// checked on a plain QMainWindow (the window class adds behaviour, not widgets).

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QAbstractSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLCDNumber>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMetaProperty>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "ui_mainwindow.h"
#include "window/check_layout.h"

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

void PrintTo(const QVariant& v, std::ostream* os) {
  *os << v.typeName() << "(" << v.toString().toStdString() << ")";
}

class WindowLayout : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_window_layout";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
    // The images register themselves when the resource object is loaded; asking
    // again is harmless and keeps this test independent of how objects are linked.
    Q_INIT_RESOURCE(resources);
  }

  void SetUp() override { ui.setupUi(&window); }

  template <typename T = QWidget>
  T* find(const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
  }

  // Reads a property; enum and flag values come back as plain ints.
  QVariant read(const char* object, const char* property) {
    QObject* o = find<QObject>(object);
    if (!o) return QStringLiteral("<no object %1>").arg(object);
    const QMetaObject* mo = o->metaObject();
    int index = mo->indexOfProperty(property);
    if (index < 0) return QStringLiteral("<no property %1>").arg(property);
    QMetaProperty mp = mo->property(index);
    QVariant v = mp.read(o);
    if (mp.isEnumType() || mp.isFlagType()) return *static_cast<const int*>(v.constData());
    return v;
  }

  QMainWindow window;
  Ui::MainWindow ui;
};

TEST_F(WindowLayout, WindowAndPagesInOrder) {
  EXPECT_EQ(window.objectName(), "MainWindow");
  EXPECT_EQ(window.size(), QSize(747, 450));
  EXPECT_EQ(window.windowTitle(), "Wavedeck");
  EXPECT_EQ(window.contextMenuPolicy(), Qt::NoContextMenu);
  EXPECT_TRUE(window.font().kerning());
  EXPECT_FALSE(window.font().strikeOut());
  EXPECT_TRUE(window.styleSheet().startsWith("background:qlineargradient("));
  EXPECT_EQ(window.centralWidget(), ui.centralWidget);
  EXPECT_EQ(window.menuBar(), ui.menuBar);
  EXPECT_TRUE(ui.menuBar->actions().isEmpty());

  QTabWidget* tabs = ui.tabWidget;
  EXPECT_EQ(tabs->parentWidget(), ui.centralWidget);
  EXPECT_TRUE(tabs->isEnabled());
  EXPECT_TRUE(tabs->documentMode());
  EXPECT_TRUE(tabs->isMovable());
  EXPECT_FALSE(tabs->tabsClosable());
  EXPECT_EQ(tabs->font().family(), "Times New Roman");
  EXPECT_EQ(tabs->font().pointSize(), 10);
  EXPECT_TRUE(tabs->font().bold());

  const std::vector<std::pair<const char*, const char*>> pages = {
      {"tab", "SDR Control"},   {"tab_2", "Command shell"},    {"tab_4", "Filter tools"},
      {"tab_5", "Network"},     {"tab_6", "Multy Channel RX"}, {"tab_telnet", "Telnet"},
      {"tab_r820T", "VHF/SHF"}, {"tab_3", "About"},
  };
  ASSERT_EQ(tabs->count(), int(pages.size()));
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_EQ(tabs->widget(i)->objectName(), pages[i].first) << "page " << i;
    EXPECT_EQ(tabs->tabText(i), pages[i].second) << "page " << i;
  }
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(ui.tab_5->accessibleName(), "Network");
}

// Slots connect by object name, so every name must exist, with its kind, on its page
// or in its group box.
TEST_F(WindowLayout, EveryControlHasItsNameKindAndParent) {
  struct Group {
    const char* parent;
    const char* kind;
    std::vector<const char*> names;
  };
  const std::vector<Group> groups = {
    {"tab", "QLabel", {"label_13", "label_3", "label_2", "label_tune_step", "label_5",
      "label_4", "label_8", "label_7", "label", "radioButton", "radioButton_2", "led_1",
      "led_2", "led_network_link"}},
    {"tab", "QDial", {"dial_FE_gain", "dial_2", "dial"}},
    {"tab", "QLCDNumber", {"lcdNumber_FE_gain", "lcdNumber2", "lcdNumber1", "lcdNumber3",
      "lcdNumber_rx"}},
    {"tab", "QSlider", {"horizontalSlider_tune_step"}},
    {"tab", "QLineEdit", {"lineEdit", "lineEdit_2"}},
    {"tab", "QCheckBox", {"checkBox", "checkBox_inversion_flag", "checkBox_overload"}},
    {"tab", "QPushButton", {"pushButton", "pushButton_2"}},
    {"tab_2", "QLabel", {"label_10", "label_VCO_1", "label_VCO_2", "label_VCO_3"}},
    {"tab_2", "QLineEdit", {"lineEdit_command_input", "lineEdit_sdr_drive_path"}},
    {"tab_2", "QPlainTextEdit", {"plainTextEdit"}},
    {"tab_2", "QCheckBox", {"checkBox_HID_console_on", "checkBox_LEDs_on"}},
    {"tab_2", "QPushButton", {"pushButton_main_clock", "pushButton_save_default",
      "pushButton_SR", "pushButton_VCO_save", "pushButton_gain_table",
      "pushButton_get_sync_state", "pushButton_usb_mode", "pushButton_choose_sdr_path"}},
    {"tab_2", "QSpinBox", {"spinBox_VCO_comp"}},
    {"tab_2", "QGroupBox", {"groupBox", "groupBox_calibration"}},
    {"groupBox", "QSpinBox", {"spinBox_gain_table_10db", "spinBox_gain_table_30db",
      "spinBox_gain_table_20db", "spinBox_gain_table_0db"}},
    {"groupBox", "QFrame", {"line_3", "line_2"}},
    {"groupBox", "QLabel", {"label_gain_20db", "label_gain_20db_2", "label_gain_10db",
      "label_gain_0db", "label_gain_table_name_4", "label_gain_table_name_1",
      "label_gain_table_name_2"}},
    {"groupBox_calibration", "QLineEdit", {"lineEdit_test_freq", "lineEdit_measure_freq"}},
    {"groupBox_calibration", "QLabel", {"label_12", "label_19"}},
    {"groupBox_calibration", "QPushButton", {"pushButton_calibration"}},
    {"tab_2", "QComboBox", {"comboBox_USB_mode"}},
    {"tab_4", "QLineEdit", {"lineEdit_filter_file"}},
    {"tab_4", "QPushButton", {"pushButton_choose_filter", "pushButton_LCD_cal"}},
    {"tab_4", "QPlainTextEdit", {"plainTextEdit_LoadFilter", "plainTextEdit_ReadFilter"}},
    {"tab_4", "QLabel", {"label_LoadFilter", "label_ExistingFilter"}},
    {"tab_4", "QGroupBox", {"groupBox_2"}},
    {"groupBox_2", "QComboBox", {"comboBox_I2C_Switch"}},
    {"groupBox_2", "QLineEdit", {"lineEdit_i2c_switch"}},
    {"groupBox_2", "QLabel", {"label_I2C_1", "label_I2C_2"}},
    {"tab_4", "QCheckBox", {"checkBox_bypass_lpf"}},
    {"tab_4", "QComboBox", {"comboBox_Modulation"}},
    {"tab_5", "QLineEdit", {"lineEdit_sdr_ip_byte_4", "lineEdit_sdr_ip_mask_byte_4",
      "lineEdit_gateway_byte_4", "lineEdit_dst_ip_byte_4", "lineEdit_udp_port",
      "lineEdit_network_Sample_Rate"}},
    {"tab_5", "QLabel", {"label_14", "label_16", "label_17", "label_35", "label_36",
      "label_37", "label_18", "label_38", "label_sample_rate_value", "label_39", "label_20"}},
    {"tab_5", "QLCDNumber", {"lcdNumber_packet_counter", "lcdNumber_udp_error_counter"}},
    {"tab_5", "QPushButton", {"pushButton_5", "pushButton_SaveID", "pushButton_MultiStream"}},
    {"tab_5", "QCheckBox", {"checkBox_3", "checkBox_start_UDP", "checkBox_enable_network",
      "checkBox_broadcast_UDP", "checkBox_broadcast_slave", "checkBox_multicast",
      "checkBox_DHCP_Server", "checkBox_DHCP_Client", "checkBox_automatic_discovery",
      "checkBox_internet_forward", "checkBox_packet_size"}},
    {"tab_5", "QPlainTextEdit", {"plainTextEdit_Network"}},
    {"tab_5", "QComboBox", {"comboBox_stream_number", "comboBox_SDR_ID"}},
    {"tab_6", "QLineEdit", {"lineEdit_NCO2_Frequency"}},
    {"tab_6", "QLCDNumber", {"lcdNumber1_Second_NCO2", "lcdNumber_rf_gain_ch2",
      "lcdNumber1_Second_NCO3", "lcdNumber1_Second_NCO4", "lcdNumber1_Second_NCO1",
      "lcdNumber_rf_gain_ch1", "lcdNumber_rf_gain_ch3", "lcdNumber_rf_gain_ch4"}},
    {"tab_6", "QDial", {"dial_RF_Gain_ch2"}},
    {"tab_6", "QLabel", {"label_21", "label_freq2_input", "label_channel_selector",
      "label_mode_selector", "label_agc", "label_rf_gain", "label_frequency",
      "label_channel_lb", "label_channel_lb_2", "label_channel_lb_3", "label_channel_lb_4"}},
    {"tab_6", "QGroupBox", {"groupBox_phase"}},
    {"groupBox_phase", "QLabel", {"label_phase_shift", "label_phase_shift_3",
      "label_phase_shift_4"}},
    {"groupBox_phase", "QDial", {"dial_Phase_shift", "dial_Phase_shift_4", "dial_Phase_shift_3"}},
    {"groupBox_phase", "QLCDNumber", {"lcdNumber_phase", "lcdNumber_phase_3",
      "lcdNumber_phase_4"}},
    {"tab_6", "QCheckBox", {"checkBox_Diversity_mode_3", "checkBox_agc2", "checkBox_agc1",
      "checkBox_agc3", "checkBox_agc4", "checkBox_agc_feedback"}},
    {"tab_6", "QPushButton", {"pushButton_RX_mode"}},
    {"tab_6", "QComboBox", {"comboBox_RX_mode", "comboBox_RX_Channel"}},
    {"tab_telnet", "QPlainTextEdit", {"plainTextEdit_telnet"}},
    {"tab_telnet", "QLineEdit", {"lineEdit_callsign", "lineEdit_telnet_port",
      "lineEdit_scan_delay"}},
    {"tab_telnet", "QCheckBox", {"checkBox_skimmer_enable", "checkBox_telnet_send_qsy",
      "checkBox_bands_scan_enable"}},
    {"tab_telnet", "QLabel", {"label_76", "label_77", "label_scan_delay"}},
    {"tab_telnet", "QTableWidget", {"tableWidget_bands"}},
    {"tab_r820T", "QLineEdit", {"lineEdit_R820T_frequency"}},
    {"tab_r820T", "QDial", {"dial_R820T_LNA_Gain", "dial_R820T_MIX_Gain",
      "dial_R820T_VGA_Gain", "dial_R820T_IF_BW", "dial_R820T_HP_BW", "dial_R820T_LP_BW"}},
    {"tab_r820T", "QLabel", {"label_22", "label_23", "label_24", "label_61", "label_25",
      "label_62", "label_63"}},
    {"tab_r820T", "QCheckBox", {"checkBox_R820T_PWR_ON", "checkBox_R820T_LNA_AGC",
      "checkBox_R820T_MIX_AGC"}},
    {"tab_r820T", "QSpinBox", {"spinBox_VHF_RefClock"}},
    {"tab_r820T", "QPushButton", {"pushButton_save_vhf_ref_clock"}},
    {"tab_3", "QLabel", {"label_6", "label_11", "label_sr", "label_diversity_mode",
      "label_Serial_Number", "label_Serial_Number_2", "label_hw_cpld_sn"}},
    {"tab_3", "QFrame", {"line"}},
    {"tab_3", "QPushButton", {"pushButton_firmware_upgrade", "pushButton_ResetSDR"}},
  };
  for (const Group& g : groups) {
    for (const char* name : g.names) {
      QWidget* w = find(name);
      ASSERT_NE(w, nullptr) << name;
      EXPECT_STREQ(w->metaObject()->className(), g.kind) << name;
      ASSERT_NE(w->parentWidget(), nullptr) << name;
      EXPECT_EQ(w->parentWidget()->objectName(), g.parent) << name;
      EXPECT_EQ(window.findChildren<QWidget*>(name).size(), 1) << name << " is not unique";
    }
  }
  // The page picture is the bottom-most child, so every control is drawn over it.
  EXPECT_EQ(ui.tab->children().value(0), ui.label_13);
}

// What connectSlotsByName needs: for each on_<object>_<signal> slot of the window,
// an object of that name emitting that signal. (The two dialMoved slots of the window
// match no QDial signal and are left out: they never connect.)
TEST_F(WindowLayout, EveryNamedSlotFindsItsObjectAndSignal) {
  const char* named_slots[] = {
    "on_comboBox_SDR_ID_currentIndexChanged(int)", "on_pushButton_LCD_cal_clicked()",
    "on_comboBox_Modulation_currentIndexChanged(int)",
    "on_pushButton_save_vhf_ref_clock_pressed()", "on_dial_R820T_LP_BW_sliderMoved(int)",
    "on_dial_R820T_HP_BW_sliderMoved(int)", "on_checkBox_R820T_MIX_AGC_clicked(bool)",
    "on_checkBox_R820T_LNA_AGC_clicked(bool)", "on_dial_R820T_IF_BW_valueChanged(int)",
    "on_dial_R820T_MIX_Gain_valueChanged(int)", "on_dial_R820T_LNA_Gain_valueChanged(int)",
    "on_dial_R820T_VGA_Gain_valueChanged(int)", "on_lineEdit_R820T_frequency_returnPressed()",
    "on_checkBox_R820T_PWR_ON_clicked(bool)", "on_checkBox_packet_size_clicked(bool)",
    "on_checkBox_internet_forward_clicked(bool)", "on_lineEdit_scan_delay_returnPressed()",
    "on_tableWidget_bands_cellChanged(int,int)", "on_checkBox_bands_scan_enable_clicked(bool)",
    "on_tableWidget_bands_cellPressed(int,int)", "on_checkBox_telnet_send_qsy_clicked(bool)",
    "on_checkBox_skimmer_enable_clicked(bool)", "on_lineEdit_telnet_port_returnPressed()",
    "on_lineEdit_callsign_returnPressed()", "on_checkBox_agc4_clicked(bool)",
    "on_checkBox_agc3_clicked(bool)", "on_checkBox_automatic_discovery_clicked(bool)",
    "on_checkBox_DHCP_Client_clicked(bool)", "on_checkBox_LEDs_on_clicked(bool)",
    "on_lineEdit_i2c_switch_returnPressed()", "on_checkBox_start_UDP_clicked(bool)",
    "on_checkBox_agc1_clicked(bool)", "on_checkBox_agc2_clicked(bool)",
    "on_dial_RF_Gain_ch2_valueChanged(int)", "on_dial_2_valueChanged(int)",
    "on_comboBox_stream_number_activated(int)", "on_pushButton_MultiStream_pressed()",
    "on_checkBox_overload_clicked(bool)", "on_dial_Phase_shift_4_valueChanged(int)",
    "on_dial_Phase_shift_3_valueChanged(int)", "on_pushButton_choose_sdr_path_pressed()",
    "on_pushButton_usb_mode_pressed()", "on_dial_FE_gain_sliderMoved(int)",
    "on_comboBox_RX_Channel_currentIndexChanged(int)",
    "on_comboBox_RX_mode_currentIndexChanged(int)",
    "on_checkBox_Diversity_mode_3_clicked(bool)", "on_dial_Phase_shift_valueChanged(int)",
    "on_checkBox_DHCP_Server_clicked(bool)", "on_pushButton_SaveID_pressed()",
    "on_pushButton_ResetSDR_pressed()", "on_checkBox_multicast_toggled(bool)",
    "on_lineEdit_NCO2_Frequency_returnPressed()", "on_checkBox_bypass_lpf_toggled(bool)",
    "on_checkBox_broadcast_slave_toggled(bool)", "on_checkBox_broadcast_UDP_toggled(bool)",
    "on_pushButton_firmware_upgrade_pressed()", "on_pushButton_calibration_pressed()",
    "on_pushButton_get_sync_state_pressed()", "on_pushButton_gain_table_pressed()",
    "on_pushButton_VCO_save_pressed()", "on_spinBox_VCO_comp_valueChanged(int)",
    "on_lineEdit_network_Sample_Rate_returnPressed()",
    "on_checkBox_enable_network_toggled(bool)", "on_checkBox_3_toggled(bool)",
    "on_pushButton_5_clicked()", "on_pushButton_RX_mode_clicked()",
    "on_pushButton_SR_pressed()", "on_checkBox_inversion_flag_toggled(bool)",
    "on_pushButton_clicked(bool)", "on_pushButton_save_default_pressed()",
    "on_pushButton_main_clock_pressed()", "on_pushButton_choose_filter_pressed()",
    "on_checkBox_HID_console_on_toggled(bool)", "on_lineEdit_command_input_returnPressed()",
    "on_checkBox_toggled(bool)", "on_lineEdit_2_returnPressed()",
    "on_horizontalSlider_tune_step_valueChanged(int)", "on_lineEdit_returnPressed()",
    "on_pushButton_2_clicked()", "on_pushButton_clicked()", "on_dial_valueChanged(int)",
    "on_dial_2_sliderMoved(int)",
  };
  for (const char* slot : named_slots) {
    const QString s = QString::fromLatin1(slot).mid(3);  // drop "on_"
    const int cut = s.lastIndexOf('_', s.indexOf('('));
    const QString object = s.left(cut);
    const QByteArray signal = s.mid(cut + 1).toLatin1();
    QObject* o = window.findChild<QObject*>(object);
    ASSERT_NE(o, nullptr) << slot;
    EXPECT_GE(o->metaObject()->indexOfSignal(signal.constData()), 0) << slot;
  }
}

TEST_F(WindowLayout, ControlsStartWithTheirRangesValuesAndTexts) {
  struct Case {
    const char* object;
    const char* property;
    QVariant expected;
  };
  const int right = int(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
  const std::vector<Case> cases = {
      // SDR Control: gain and tuning knobs
      {"dial_FE_gain", "minimum", 0}, {"dial_FE_gain", "maximum", 6},
      {"dial_FE_gain", "pageStep", 1}, {"dial_FE_gain", "value", 0},
      {"dial_FE_gain", "notchesVisible", true},
      {"dial_2", "minimum", 1}, {"dial_2", "maximum", 127}, {"dial_2", "pageStep", 8},
      {"dial_2", "value", 16}, {"dial_2", "notchesVisible", true},
      {"dial", "minimum", 0}, {"dial", "maximum", 255}, {"dial", "wrapping", true},
      {"horizontalSlider_tune_step", "minimum", 0}, {"horizontalSlider_tune_step", "maximum", 6},
      {"horizontalSlider_tune_step", "singleStep", 1}, {"horizontalSlider_tune_step", "pageStep", 1},
      {"horizontalSlider_tune_step", "value", 5},
      {"horizontalSlider_tune_step", "orientation", int(Qt::Horizontal)},
      {"label_tune_step", "text", "Tune step x1"},
      // SDR Control: displays
      {"lcdNumber_FE_gain", "digitCount", 4}, {"lcdNumber_FE_gain", "intValue", 1},
      {"lcdNumber_FE_gain", "segmentStyle", int(QLCDNumber::Flat)},
      {"lcdNumber2", "digitCount", 9},
      {"lcdNumber1", "digitCount", 10}, {"lcdNumber1", "intValue", 28000000},
      {"lcdNumber1", "segmentStyle", int(QLCDNumber::Filled)},
      {"lcdNumber3", "digitCount", 8}, {"lcdNumber_rx", "digitCount", 10},
      // SDR Control: entries, buttons and status
      {"lineEdit", "text", "00000000"}, {"lineEdit", "maxLength", 10},
      {"lineEdit", "alignment", right},
      {"lineEdit_2", "text", "1268000000"}, {"lineEdit_2", "maxLength", 10},
      {"lineEdit_2", "alignment", right},
      {"label_5", "text", "1-st Heterodyne  Frequency "},
      {"label_4", "text", "Central (LO) Frequency Input"},
      {"checkBox", "text", "Transverter mode"}, {"checkBox", "checked", false},
      {"pushButton", "text", " SDR connect"}, {"pushButton_2", "text", "SDR Init"},
      {"radioButton", "text", "SDR is not found"}, {"radioButton_2", "text", "FE Init fault"},
      {"checkBox_inversion_flag", "text", "Inverted band"}, {"checkBox_overload", "text", "AGC"},
      {"label_13", "scaledContents", true},
      // Command shell
      {"plainTextEdit", "readOnly", true}, {"plainTextEdit", "maximumBlockCount", 256},
      {"plainTextEdit", "textInteractionFlags", int(Qt::NoTextInteraction)},
      {"spinBox_VCO_comp", "minimum", -2048}, {"spinBox_VCO_comp", "maximum", 2047},
      {"spinBox_gain_table_0db", "value", 11}, {"spinBox_gain_table_10db", "value", 8},
      {"spinBox_gain_table_20db", "value", 2}, {"spinBox_gain_table_30db", "value", -4},
      {"spinBox_gain_table_0db", "minimum", -10}, {"spinBox_gain_table_30db", "maximum", 35},
      {"spinBox_gain_table_20db", "singleStep", 3}, {"spinBox_gain_table_10db", "suffix", "db"},
      {"spinBox_gain_table_10db", "alignment", right},
      {"groupBox", "title", "Gain table"}, {"groupBox_calibration", "title", "Calibration"},
      {"label_gain_20db_2", "text", "-30dB"}, {"label_gain_10db", "text", "-10dB"},
      {"pushButton_calibration", "text", "Calculate Main Clock frequency"},
      {"pushButton_choose_sdr_path", "text", "Choose SDR Path..."},
      {"checkBox_LEDs_on", "text", "Turn LEDs Off"},
      // Filter tools
      {"groupBox_2", "title", "I2C Control"}, {"label_I2C_2", "text", "Example: 0x0001"},
      {"comboBox_Modulation", "currentIndex", -1}, {"comboBox_Modulation", "maxVisibleItems", 7},
      {"pushButton_LCD_cal", "text", "LCD Calibration"},
      // Network
      {"lineEdit_sdr_ip_byte_4", "readOnly", true}, {"lineEdit_sdr_ip_mask_byte_4", "readOnly", true},
      {"lineEdit_gateway_byte_4", "readOnly", true}, {"lineEdit_dst_ip_byte_4", "readOnly", true},
      {"lineEdit_udp_port", "readOnly", true},
      {"lineEdit_network_Sample_Rate", "readOnly", false},
      {"lineEdit_network_Sample_Rate", "text", "250000"},
      {"lcdNumber_packet_counter", "digitCount", 7},
      {"lcdNumber_packet_counter", "segmentStyle", int(QLCDNumber::Outline)},
      {"lcdNumber_udp_error_counter", "digitCount", 9},
      {"lcdNumber_udp_error_counter", "segmentStyle", int(QLCDNumber::Outline)},
      {"label_sample_rate_value", "textFormat", int(Qt::RichText)},
      {"checkBox_automatic_discovery", "text", "Rivulet discovery"},
      {"checkBox_packet_size", "text", "Small UDP pckets size"},
      {"checkBox_multicast", "text", "multicast protocol"},
      // Multy Channel RX
      {"lineEdit_NCO2_Frequency", "text", "00000000"}, {"lineEdit_NCO2_Frequency", "maxLength", 10},
      {"lineEdit_NCO2_Frequency", "alignment", right},
      {"dial_RF_Gain_ch2", "minimum", 1}, {"dial_RF_Gain_ch2", "maximum", 127},
      {"dial_RF_Gain_ch2", "pageStep", 8}, {"dial_RF_Gain_ch2", "value", 16},
      {"dial_Phase_shift", "minimum", 1}, {"dial_Phase_shift", "maximum", 5760},
      {"dial_Phase_shift", "singleStep", 16}, {"dial_Phase_shift", "pageStep", 128},
      {"dial_Phase_shift", "value", 1}, {"dial_Phase_shift", "wrapping", true},
      {"dial_Phase_shift", "notchesVisible", true}, {"dial_Phase_shift", "notchTarget", 2.0},
      {"dial_Phase_shift_3", "maximum", 5760}, {"dial_Phase_shift_3", "wrapping", true},
      {"dial_Phase_shift_4", "maximum", 5760}, {"dial_Phase_shift_4", "singleStep", 16},
      {"lcdNumber_phase", "digitCount", 6}, {"lcdNumber_rf_gain_ch1", "digitCount", 9},
      {"lcdNumber1_Second_NCO1", "intValue", 28000000},
      {"lcdNumber1_Second_NCO4", "intValue", 28000000},
      {"lcdNumber1_Second_NCO3", "segmentStyle", int(QLCDNumber::Filled)},
      {"checkBox_Diversity_mode_3", "text", "Enable  phase shift"},
      {"checkBox_agc1", "text", ""}, {"label_channel_lb_4", "text", "CH4"},
      // Telnet
      {"plainTextEdit_telnet", "readOnly", true}, {"plainTextEdit_telnet", "maximumBlockCount", 256},
      {"plainTextEdit_telnet", "textInteractionFlags", int(Qt::NoTextInteraction)},
      {"lineEdit_callsign", "text", ""}, {"lineEdit_callsign", "placeholderText", "CA11SIGN"},
      {"lineEdit_telnet_port", "text", "7300"}, {"lineEdit_scan_delay", "text", "15"},
      {"checkBox_bands_scan_enable", "text", "Bands scan "},
      {"label_scan_delay", "text", "Scan step  (seconds)"},
      {"tableWidget_bands", "rowCount", 10}, {"tableWidget_bands", "columnCount", 2},
      // VHF/SHF: the developer controls start disabled, the rest usable
      {"lineEdit_R820T_frequency", "text", "100000000"},
      {"lineEdit_R820T_frequency", "enabled", false}, {"checkBox_R820T_PWR_ON", "enabled", false},
      {"dial_R820T_IF_BW", "enabled", false}, {"dial_R820T_HP_BW", "enabled", false},
      {"dial_R820T_LP_BW", "enabled", false}, {"label_61", "enabled", false},
      {"label_62", "enabled", false}, {"label_63", "enabled", false},
      {"dial_R820T_LNA_Gain", "enabled", true}, {"spinBox_VHF_RefClock", "enabled", true},
      {"spinBox_VHF_RefClock", "readOnly", false},
      {"pushButton_save_vhf_ref_clock", "enabled", true},
      {"checkBox_R820T_LNA_AGC", "checked", true}, {"checkBox_R820T_MIX_AGC", "checked", true},
      {"dial_R820T_LNA_Gain", "maximum", 15}, {"dial_R820T_MIX_Gain", "maximum", 15},
      {"dial_R820T_VGA_Gain", "value", 4}, {"dial_R820T_VGA_Gain", "pageStep", 8},
      {"dial_R820T_IF_BW", "maximum", 63}, {"dial_R820T_HP_BW", "maximum", 15},
      {"dial_R820T_LP_BW", "notchesVisible", true},
      {"spinBox_VHF_RefClock", "minimum", 0}, {"spinBox_VHF_RefClock", "maximum", 100000000},
      // About
      {"label_Serial_Number_2", "text", "00000000"},
      {"label_hw_cpld_sn", "text", "HW/CPLD Version: 00000000"},
      {"label_diversity_mode", "text", ""},
      {"pushButton_firmware_upgrade", "text", "Firmware upgrade"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(read(c.object, c.property), c.expected) << c.object << "." << c.property;

  for (QDial* dial : window.findChildren<QDial*>())
    EXPECT_FALSE(dial->invertedControls()) << dial->objectName().toStdString();
  EXPECT_TRUE(ui.label_sample_rate_value->text().contains(">0<"));
  EXPECT_TRUE(ui.label_sample_rate_value->text().contains("#ff0000"));
}

// The window constructor inserts the selector items and the band-table cells; items
// in the form would come twice and keep the first insertion from selecting index 0.
TEST_F(WindowLayout, SelectorsAndBandTableAreLeftForConstructionToFill) {
  for (QComboBox* box : window.findChildren<QComboBox*>())
    EXPECT_EQ(box->count(), 0) << box->objectName().toStdString();
  EXPECT_EQ(window.findChildren<QComboBox*>().size(), 7);

  QTableWidget* bands = ui.tableWidget_bands;
  ASSERT_NE(bands->horizontalHeaderItem(1), nullptr);
  EXPECT_EQ(bands->horizontalHeaderItem(0)->text(), "Scan Enable");
  EXPECT_EQ(bands->horizontalHeaderItem(1)->text(), "Frequency (kHz)");
  for (int r = 0; r < bands->rowCount(); ++r)
    for (int c = 0; c < bands->columnCount(); ++c) {
      EXPECT_EQ(bands->item(r, c), nullptr) << r << "," << c;
      EXPECT_EQ(bands->cellWidget(r, c), nullptr) << r << "," << c;
    }
}

TEST_F(WindowLayout, StyleRolesAndFonts) {
  // Every dial has the gray body; everything else off the main page is neutral,
  // apart from the channel displays and the frequency entry that share its roles.
  for (QDial* dial : window.findChildren<QDial*>())
    EXPECT_EQ(dial->styleSheet(),
              dial == ui.dial ? "background-color: gray;\n" : "background-color: gray;")
        << dial->objectName().toStdString();
  const QWidget* own_role[] = {ui.lcdNumber1_Second_NCO1, ui.lcdNumber1_Second_NCO2,
                               ui.lcdNumber1_Second_NCO3, ui.lcdNumber1_Second_NCO4,
                               ui.lineEdit_NCO2_Frequency};
  for (int page = 1; page < ui.tabWidget->count(); ++page)
    for (QWidget* w : ui.tabWidget->widget(page)->findChildren<QWidget*>()) {
      if (w->objectName().startsWith("qt_") || qobject_cast<QDial*>(w) ||
          std::find(std::begin(own_role), std::end(own_role), w) != std::end(own_role) ||
          w->objectName().isEmpty())
        continue;
      EXPECT_EQ(w->styleSheet(), "background-color:none;") << w->objectName().toStdString();
    }

  // The main page: each role carries its colours.
  struct Role {
    const char* object;
    std::vector<const char*> parts;
  };
  const std::vector<Role> roles = {
      {"tab", {"background-color: rgb(15,15, 15);"}},
      {"tabWidget", {"background-color:rgb(216, 216, 216)"}},
      {"lcdNumber_FE_gain", {"2px groove gray", "rgb(50, 50, 50)", "rgb(27, 27, 27)", "rgb(255, 0, 0)"}},
      {"lcdNumber2", {"2px groove gray", "rgb(255, 0, 0)"}},
      {"lcdNumber1", {"3px groove gray", "rgb(27, 27, 27)", "rgb(0, 195, 0)"}},
      {"lcdNumber1_Second_NCO2", {"3px groove gray", "rgb(0, 195, 0)"}},
      {"lcdNumber3", {"2px groove gray", "rgb(0, 195, 0)"}},
      {"lcdNumber_rx", {"2px groove gray", "rgb(0, 195, 0)"}},
      {"lineEdit", {"background-color: gray;", "2px groove gray", "rgb(255, 255, 92)"}},
      {"lineEdit_2", {"rgb(255, 255, 92)"}},
      {"lineEdit_NCO2_Frequency", {"rgb(255, 255, 92)"}},
      {"label_3", {"transparent", "rgb(204, 204, 204)"}},
      {"checkBox", {"transparent", "rgb(204, 204, 204)"}},
      {"radioButton", {"transparent", "rgb(204, 204, 204)"}},
      {"label_8", {"transparent", "rgb(255, 255, 255)"}},
      {"label", {"transparent", "rgb(255, 255, 255)"}},
      {"pushButton", {"rgba(9, 9, 9, 255)", "rgba(135, 135, 135, 255)", "rgb(204, 204, 204)"}},
      {"pushButton_2", {"rgba(135, 135, 135, 255)"}},
      {"horizontalSlider_tune_step", {"background-color: transparent;"}},
      {"led_1", {"background-color: none;"}},
      {"led_network_link", {"background-color: none;"}},
  };
  for (const Role& r : roles) {
    QWidget* w = find(r.object);
    ASSERT_NE(w, nullptr) << r.object;
    for (const char* part : r.parts)
      EXPECT_TRUE(w->styleSheet().contains(part)) << r.object << ": " << part;
  }

  // Fonts: Times New Roman on every control that shows text, 16 pt bold on the
  // frequency entries; Arial for the VHF/SHF captions and check boxes; the inverted
  // band box in Abyssinica SIL 8 pt.
  const QWidget* entries[] = {ui.lineEdit, ui.lineEdit_2, ui.lineEdit_NCO2_Frequency};
  const QWidget* pictures[] = {ui.label_13, ui.led_1, ui.led_2, ui.led_network_link};
  QList<QWidget*> controls;
  for (int page = 0; page < ui.tabWidget->count(); ++page)
    controls += ui.tabWidget->widget(page)->findChildren<QWidget*>();
  int checked = 0;
  for (QWidget* w : controls) {
    const bool shows_text = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                            qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                            qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                            qobject_cast<QGroupBox*>(w) || qobject_cast<QTableWidget*>(w);
    if (!shows_text || w->objectName().isEmpty() || w->objectName().startsWith("qt_") ||
        std::find(std::begin(pictures), std::end(pictures), w) != std::end(pictures))
      continue;
    ++checked;
    const std::string name = w->objectName().toStdString();
    const QFont font = w->font();
    if (w == ui.checkBox_inversion_flag) {
      EXPECT_EQ(font.family(), "Abyssinica SIL");
      EXPECT_EQ(font.pointSize(), 8);
      continue;
    }
    const bool vhf_caption = w->parentWidget() == ui.tab_r820T &&
                             (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w));
    EXPECT_EQ(font.family(), vhf_caption ? "Arial" : "Times New Roman") << name;
    const bool entry = std::find(std::begin(entries), std::end(entries), w) != std::end(entries);
    if (entry) {
      EXPECT_EQ(font.pointSize(), 16) << name;
    } else {
      EXPECT_GE(font.pointSize(), 8) << name;
      EXPECT_LE(font.pointSize(), 16) << name;
    }
    EXPECT_TRUE(font.bold()) << name;
  }
  EXPECT_GT(checked, 150);  // the loop really saw the pages' controls
}

TEST_F(WindowLayout, ImagesLoadAndLampsStartRedOnUsb) {
  const char* paths[] = {":/new/prefix1/bg.png",      ":/new/prefix1/red.png",
                         ":/new/prefix1/green.png",   ":/new/prefix1/usb.png",
                         ":/new/prefix1/lan.png",     ":/new/prefix1/images/app_icon1.png",
                         ":/new/prefix1/app_icon1.ico"};
  for (const char* path : paths) EXPECT_FALSE(QPixmap(path).isNull()) << path;

  auto image = [](const char* path) { return QImage(path).convertToFormat(QImage::Format_ARGB32); };
  EXPECT_NE(image(":/new/prefix1/red.png"), image(":/new/prefix1/green.png"));
  EXPECT_NE(image(":/new/prefix1/usb.png"), image(":/new/prefix1/lan.png"));

  auto shown = [](QLabel* label) {
    return label->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
  };
  EXPECT_EQ(shown(ui.led_1), image(":/new/prefix1/red.png"));
  EXPECT_EQ(shown(ui.led_2), image(":/new/prefix1/red.png"));
  EXPECT_EQ(shown(ui.led_network_link), image(":/new/prefix1/usb.png"));
  EXPECT_EQ(shown(ui.label_13), image(":/new/prefix1/bg.png"));
}

// The band table's "Scan Enable" cell: a centred check box whose state it reports.
TEST_F(WindowLayout, CheckLayoutCentresItsBoxAndReportsItsState) {
  auto* cell = new CheckLayout(ui.tableWidget_bands);
  EXPECT_STREQ(cell->metaObject()->className(), "CheckLayout");
  EXPECT_EQ(cell->metaObject()->superClass(), &QWidget::staticMetaObject);
  EXPECT_EQ(cell->parentWidget(), ui.tableWidget_bands);
  ASSERT_NE(qobject_cast<QHBoxLayout*>(cell->layout()), nullptr);
  const QList<QCheckBox*> boxes = cell->findChildren<QCheckBox*>();
  ASSERT_EQ(boxes.size(), 1);
  QCheckBox* box = boxes[0];
  EXPECT_TRUE(box->text().isEmpty());
  EXPECT_FALSE(cell->isChecked());

  ui.tableWidget_bands->setCellWidget(3, 0, cell);
  ui.tabWidget->setCurrentWidget(ui.tab_telnet);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  // The box keeps its own width (it does not stretch over the cell) and sits mid-cell.
  EXPECT_LE(box->width(), box->sizeHint().width());
  const int centre = cell->width() / 2;
  EXPECT_LE(std::abs(box->geometry().center().x() - centre), 1)
      << "box at " << box->geometry().x() << " width " << box->width() << " in " << cell->width();

  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_TRUE(cell->isChecked());
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  EXPECT_FALSE(cell->isChecked());
  box->setChecked(true);
  EXPECT_TRUE(cell->isChecked());

  // A cell that lost its box reads unchecked.
  delete box;
  EXPECT_FALSE(cell->isChecked());

  // Destroying a cell takes its layout and box with it.
  auto* other = new CheckLayout(nullptr);
  QPointer<QCheckBox> other_box(other->findChild<QCheckBox*>());
  QPointer<QLayout> other_layout(other->layout());
  ASSERT_FALSE(other_box.isNull());
  delete other;
  EXPECT_TRUE(other_box.isNull());
  EXPECT_TRUE(other_layout.isNull());
}
