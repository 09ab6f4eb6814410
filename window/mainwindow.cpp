// Construction and teardown of the control window, and its own small slots.
#include "window/mainwindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTcpSocket>
#include <QUdpSocket>
#include <cstring>

#include "net/tcp_channel.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "usb/usb_app.h"
#include "window/check_layout.h"
#include "window/settings_store.h"

namespace {

const char* const IDENTITY_NAMES[] = {"Tavrin-SDR", "Plovex", "TVN480x-SDR"};
const int BAND_TABLE_DEFAULTS_KHZ[] = {1840, 3540, 7040, 14040, 21040, 28040, 10120, 18100, 24920, 0};
const char VERSION_TEXT[] = "5.23";

SettingsStore& settings() { return settings_store(); }

void fill_combo(QComboBox* box, const QStringList& items) {
  for (int i = 0; i < items.size(); ++i) box->insertItem(i, items[i]);
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), discovery_send_socket(new QUdpSocket(this)) {
  // 2. The widget tree; the on_<object>_<signal> slots are connected by name.
  ui = new Ui::MainWindow;
  ui->setupUi(this);

  // 3-4.
  startup_pending = 1;
  receiver_count = 0;
  slave_mode = 0;
  link_state = 0;
  fe_gain_index = 0;
  control_socket = nullptr;
  hw_version = 0;
  tcp_bind_window(this);
  band_scan_row = 0;

  // 5. Developer controls of the VHF/SHF page.
  if (settings().read_int("devel", 0) != 0) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->checkBox_R820T_PWR_ON, ui->lineEdit_R820T_frequency, ui->label_61, ui->label_62,
             ui->label_63, ui->dial_R820T_IF_BW, ui->dial_R820T_LP_BW, ui->dial_R820T_HP_BW,
             ui->pushButton_save_vhf_ref_clock}) {
      w->show();
      w->setEnabled(true);
    }
    ui->spinBox_VHF_RefClock->setReadOnly(false);
  }

  // 6. Frequencies.
  tuned_frequency = settings().read_int("frequency_ch1", 28050000);
  last_sent_frequency = 0;
  channel_frequency[0] = tuned_frequency;
  channel_frequency[2] = settings().read_int("frequency_ch2", 28050000);
  heterodyne = settings().read_int("heterodyne_frequency", 0);
  main_clock = 80000011;

  // 7. Stream number and channel.
  stream_number = settings().read_int("multi_stream_flag", 0);
  channel = static_cast<int>(settings().read_unsigned("rx_channel_number", 0));
  if (stream_number == 1) channel = 0;
  if (stream_number == 2) channel = 2;
  if (channel < 0 || channel > 4) channel = 0;  // a hand-edited file must not index past the arrays
  receiver_state().set_channel_index(channel);

  // 8-9. Gains.
  rf_gain_code[0] = settings().read_int("rf_gain", 32);
  rf_gain_code[2] = settings().read_int("rf_gain_ch2", 32);
  ui->dial_2->setValue(rf_gain_code[channel]);
  receiver_state().set_att_index(rf_gain_code[channel] >> 3);
  fe_gain_index = settings().read_int("fe_gain", 0);
  ui->dial_FE_gain->setValue(fe_gain_index);

  // 10-11.
  if (settings().is_missing("sdr_sample_rate")) settings().write_int("sdr_sample_rate", 249999);
  drive_path.clear();

  // 12. Selectors. The first insertion into an empty box makes it current and
  // runs its index-changed slot.
  fill_combo(ui->comboBox_stream_number, {"Off", "Stream 1", "Stream 2", "Stream 3", "Stream 4"});
  fill_combo(ui->comboBox_RX_Channel, {"RX Channel 1", "RX Channel 2", "RX Channel 3", "RX Channel 4"});
  fill_combo(ui->comboBox_USB_mode, {"USB MSD mode", "USB Audio mode", "HPSDR mode"});
  fill_combo(ui->comboBox_Modulation,
             {"AM", "LSB", "USB", "CW", "NFM", "WFM", "LSB Alt", "USB Alt"});
  fill_combo(ui->comboBox_SDR_ID,
             {IDENTITY_NAMES[0], IDENTITY_NAMES[1], IDENTITY_NAMES[2], "No SDR ID"});
  ui->comboBox_SDR_ID->setCurrentIndex(3);

  // 13. The mass-storage drive path.
  drive_path = settings().read_text("sdr_path", "H:/");
  ui->lineEdit_sdr_drive_path->setText(drive_path);
  set_msd_path(drive_path.toLatin1().left(255).constData());

  // 14. Sample rate.
  sample_rate = settings().read_unsigned("sdr_sample_rate", 0);
  receiver_state().set_sample_rate(static_cast<int32_t>(sample_rate));
  ui->lineEdit_network_Sample_Rate->setText(QString("%1").arg(sample_rate, 7));

  // 15. Band table.
  band_headers << "Scan Enable" << "Frequency (kHz)";
  ui->tableWidget_bands->setHorizontalHeaderLabels(band_headers);
  ui->lineEdit_scan_delay->setText(QString::number(settings().read_int("scan_delay", 30)));
  for (int row = 0; row < ui->tableWidget_bands->rowCount(); ++row) {
    ui->tableWidget_bands->setCellWidget(row, 0, new CheckLayout);
    if (row <= 9) {
      const int khz = settings().read_int(QString("scan_band%1").arg(row + 1),
                                          BAND_TABLE_DEFAULTS_KHZ[row]);
      ui->tableWidget_bands->setItem(row, 1, new QTableWidgetItem(QString::number(khz)));
    }
  }

  // 16.
  band_scan_timer = new QTimer(this);
  connect(band_scan_timer, &QTimer::timeout, this, &MainWindow::Bands_Scan_Process);

  // 17. Network defaults.
  if (settings().is_missing("sdr_ip_address")) settings().write_text("sdr_ip_address", "192.168.0.8");
  if (settings().is_missing("sdr_ip_mask")) settings().write_text("sdr_ip_mask", "255.255.255.0");
  if (settings().is_missing("gateway_ip_address"))
    settings().write_text("gateway_ip_address", "192.168.0.1");
  if (settings().is_missing("udp_port")) settings().write_int("udp_port", 50000);
  if (settings().is_missing("sdr_vco_voltage")) settings().write_int("sdr_vco_voltage", 1);
  vco_offset = static_cast<int>(settings().read_unsigned("sdr_vco_voltage", 0));

  // 18.
  fill_combo(ui->comboBox_RX_mode,
             {"Single Channel Mode", "Diversity Mode (dual channel)", "Dual Channel Mode",
              "Diversity Mode (single channel)", "Diversity Mode (quad channel)",
              "Quad Channel Mode"});
  ui->comboBox_I2C_Switch->insertItem(0, "Test");

  // 19. Skimmer client.
  ui->lineEdit_callsign->setText(settings().read_text("callsign", "CA11SIGN"));
  ui->lineEdit_telnet_port->setText(settings().read_text("telnet_port", "7300"));
  ui->checkBox_telnet_send_qsy->setChecked(settings().read_bool("telnet_send_qsy", false));

  // 20-25.
  show_clock_and_rate();
  alias_inversion = settings().read_sign("alias_inversion_flag");
  inversion = settings().read_sign("inversion_flag");
  host_tuned = 1;
  network_mode = settings().read_int("network_enable_flag", 0);
  network_tunnel = network_mode == 1 ? 1 : 0;
  broadcast = static_cast<int>(settings().read_unsigned("broadcast_flag", 0));
  if (broadcast == 1) ui->checkBox_broadcast_UDP->setChecked(true);
  if (settings().is_missing("bypass_lpf")) {
    settings().write_int("bypass_lpf", 0);
    bypass_lpf = 0;
    ui->checkBox_bypass_lpf->setChecked(false);
  } else {
    bypass_lpf = static_cast<int>(settings().read_unsigned("bypass_lpf", 0));
    if (bypass_lpf == 1) ui->checkBox_bypass_lpf->setChecked(true);
  }
  auto_discovery = static_cast<int>(settings().read_unsigned("rivulet_discovery", 0));
  if (auto_discovery == 1) ui->checkBox_automatic_discovery->setChecked(true);

  if (network_mode == 1) {
    // 26. Network mode.
    if (settings().read_unsigned("internet_connect_flag", 0) == 1)
      ui->checkBox_internet_forward->setChecked(true);
    ui->led_network_link->setPixmap(QPixmap(":/new/prefix1/lan.png"));
    slave_mode = static_cast<int>(settings().read_unsigned("broadcast_slave", 0));
    if (settings().is_missing("broadcast_slave")) settings().write_int("broadcast_slave", 0);
    if (slave_mode == 1) ui->checkBox_broadcast_slave->setChecked(true);
    multicast = static_cast<int>(settings().read_unsigned("multicast", 0));
    if (multicast != 0) ui->checkBox_multicast->setChecked(true);
    udp_app().set_multicast(multicast);
    port = static_cast<uint16_t>(settings().read_unsigned("udp_port", 0));
    claim_stream_number();
    rx_mode = static_cast<int16_t>(settings().read_unsigned("diversity_mode", 0));
    if (rx_mode == 2) tuned_frequency = channel != 0 ? channel_frequency[2] : channel_frequency[0];
    tcp_clear_busy();
    ui->checkBox_enable_network->setChecked(true);
    receiver_address = QHostAddress(settings().read_text("sdr_ip_address"));
    udp_app().set_peer_address(QHostAddress(settings().read_text("sdr_ip_address")));
    receiver_mask = QHostAddress(settings().read_text("sdr_ip_mask"));
    gateway_address = QHostAddress(settings().read_text("gateway_ip_address"));
    if (slave_mode == 1) {
      ui->pushButton->hide();
      ui->pushButton_2->hide();
      ui->led_2->hide();
      ui->radioButton_2->hide();
      startup_pending = 0;
      ui->comboBox_RX_Channel->setEnabled(true);
    } else if (auto_discovery == 1) {
      discovery_start();
    } else {
      tcp_connect();
    }
  } else {
    // 27.
    ui->checkBox_enable_network->setChecked(false);
  }

  // 28-29.
  show_network_addresses();
  if (settings().is_missing("inversion_mode_flag")) settings().write_int("inversion_mode_flag", 0);
  if (settings().is_missing("transverter_mode_flag"))
    settings().write_int("transverter_mode_flag", 0);
  // Wraps like the receiver's 32-bit arithmetic (and the tuning panel's): a
  // hand-edited file may hold frequencies whose sum leaves the int range.
  display_frequency = static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(channel_frequency[0]) * inversion) +
                                       static_cast<uint32_t>(heterodyne));
  if (settings().is_missing("tcvr_heterodyne_frequency"))
    settings().write_int("tcvr_heterodyne_frequency", 1268000000);

  // 30. Transverter.
  if (settings().read_int("transverter_mode_flag", 0) != 0) {
    ui->checkBox->setChecked(true);
    set_transverter_mode(true);
  } else {
    ui->lineEdit_2->hide();
    ui->label_5->hide();
    ui->checkBox_inversion_flag->hide();
  }

  // 31.
  tune_step = 10;
  ui->lcdNumber1->display(display_frequency);
  ui->lcdNumber3->display(channel_frequency[0]);
  ui->lcdNumber1_Second_NCO2->display(channel_frequency[2]);

  // 32. Device label.
  QString device_label;
  if (network_mode == 1) {
    if (slave_mode == 1) {
      device_label = "Broadcast Slave";
      ui->led_1->setPixmap(QPixmap(":/new/prefix1/green.png"));
    } else {
      device_label = "Tavrin SDR Nework";
    }
  } else {
    char name[256] = {};
    const int opened = start_usb_link(name);
    device_label = opened > 0 ? QString::fromLatin1(name) : QString("SDR was not found!");
    ui->led_network_link->setPixmap(QPixmap(":/new/prefix1/usb.png"));
  }
  ui->radioButton->setText(device_label);

  // 33-35.
  on_horizontalSlider_tune_step_valueChanged(5);
  timer_20ms = startTimer(20);
  timer_200ms = startTimer(200);
  timer_1000ms = startTimer(1000);
  setWindowTitle(QString("Wavedeck x4 (v.%1)").arg(VERSION_TEXT, 4));

  host_requests().set_waker([this] { wake_for_host_requests(); });
}

MainWindow::~MainWindow() {
  host_requests().set_waker(nullptr);
  // 1-2.
  release_stream_number();
  tcp_bind_window(nullptr);
  // 3. Teardown settings.
  settings().write_unsigned("diversity_mode", static_cast<unsigned>(static_cast<int>(rx_mode)));
  settings().write_int("enable_phase_shift", phase_shift_enabled);
  settings().write_int("rf_gain", rf_gain_code[0]);
  settings().write_int("rf_gain_ch2", rf_gain_code[2]);
  settings().write_int("fe_gain", fe_gain_index);
  settings().write_int("hid_status", hid_status);
  settings().write_int("heterodyne_frequency", heterodyne);
  settings().write_int("inversion_flag", inversion);
  settings().write_int("alias_inversion_flag", alias_inversion);
  // The session is on disk once the window is gone, not only at unload.
  settings().sync();
  // 4-6. Stream threads and the USB link.
  if (hid_status == 2) usb_app().stop_reader();
  udp_app().request_stop();
  udp_app().wait(1000);
  if (hid_status != 0) close_device_link();
  // A connected telnet socket, closed with the children below, would
  // otherwise report its disconnection to a window that is half gone.
  if (telnet_socket) telnet_socket->disconnect(this);
  // 7. The children (sockets, timers) go with the QMainWindow base.
  delete ui;
  ui = nullptr;
}

int MainWindow::start_usb_link(char* name_buffer) {
  const int opened = open_device_link(name_buffer);
  settings().write_int("hid_status", hid_status);
  ui->comboBox_USB_mode->setCurrentIndex(hid_status == 1 ? 1 : 0);
  if (hid_status == 2) {
    usb_app().set_drive_path(drive_path.toStdWString().c_str());
    ui->plainTextEdit->insertPlainText("USB MSD device was started!\n\r");
  }
  link_state = hid_status != 0 ? 3 : 0;
  return opened;
}

void MainWindow::show_clock_and_rate() {
  ui->label_11->setText(QString("FrontEnd Main Clock Frequency:  %1(Hz)").arg(main_clock, 8));
  sample_rate = static_cast<unsigned>(receiver_state().sample_rate());
  ui->label_sr->setText(QString("Sample rate: %1").arg(sample_rate, 7));
}

void MainWindow::show_network_addresses() {
  ui->lineEdit_sdr_ip_byte_4->setText(receiver_address.toString());
  ui->lineEdit_sdr_ip_mask_byte_4->setText(receiver_mask.toString());
  ui->lineEdit_gateway_byte_4->setText(gateway_address.toString());
  ui->lineEdit_dst_ip_byte_4->setText(destination_address.toString());
  ui->lineEdit_udp_port->setText(QString("%1").arg(port, 8));
}

// "SDR connect" does its work in on_pushButton_clicked() (tools_panel.cpp);
// this overload is connected by name as well and has nothing to add.
void MainWindow::on_pushButton_clicked(bool) {}

void MainWindow::on_pushButton_save_default_pressed() {
  if (CMD_SAVE_DEFAULTS() == 0)
    ui->plainTextEdit->appendPlainText("Cannot save default parameters!\n");
  else
    ui->plainTextEdit->appendPlainText("Default parameters was saved\n");
}

void MainWindow::on_pushButton_2_clicked() { CMD_SDR_INIT(); }

void MainWindow::close_for_host() {
  if (control_socket && control_socket->state() == QAbstractSocket::ConnectedState) {
    control_socket->disconnectFromHost();
    control_socket->close();
  }
  close();
}
