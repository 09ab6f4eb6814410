// The control window of the receiver ("Wavedeck x4"). Its behaviour is split
// over several files by panel; this header is the whole class.
//
//   mainwindow.cpp        construction, teardown, the small slots of the window
//   host_link.cpp         requests of the host's thread performed on the GUI thread
//   status_poll.cpp       the timer handler: link watch, start-up sequence, answers
//   control_link.cpp      TCP control connection slots
//   tuning_panel.cpp      frequency, tuning and gain controls
//   multichannel_panel.cpp  AGC, channel and RX mode, phase shift, second NCO
//   network_panel.cpp     network settings, stream start/stop, sample rate
//   discovery.cpp         finding receivers on the local network
//   stream_sharing.cpp    multi-stream sharing between copies, broadcast slave
//   telnet_panel.cpp      skimmer telnet client
//   band_scan.cpp         band scanner
//   vhf_panel.cpp         VHF/SHF front end
//   tools_panel.cpp       maintenance tools
#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QMainWindow>
#include <QMutex>
#include <QSharedMemory>
#include <QStringList>
#include <QTimer>
#include <cstdint>

#include "net/stream_share.h"
#include "plugin/host_requests.h"

namespace Ui {
class MainWindow;
}
class QCheckBox;
class QLCDNumber;
class QLineEdit;
class QTcpSocket;
class QUdpSocket;
class QTimerEvent;

constexpr int RECEIVER_RECORD_BYTES = 103;
constexpr int MAX_LISTED_RECEIVERS = 32;

class MainWindow : public QMainWindow, public HostWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // HostWindow: what the host's entry points reach, always on the GUI thread.
  void perform_host_request(const HostRequest& request) override;
  int selected_channel() const override { return channel; }

  // Small operations shared by the panels.
  void show_clock_and_rate();
  void show_network_addresses();
  // Opens the USB link and starts the mass-storage reader when the link is
  // mass storage (construction and "Choose SDR Path...").
  int start_usb_link(char* name_buffer);

  // CloseHW: drops a connected control socket, then closes the window.
  void close_for_host();

  // Tuning and gains (tuning_panel.cpp).
  void apply_fe_gain(int index);
  QString show_rf_gain(int value);
  QLCDNumber* channel_gain_display() const;
  void sync_rf_gain_from_host();

  // Multichannel reception (multichannel_panel.cpp).
  QCheckBox* agc_box_of(int channel_code) const;
  void send_agc_mask();
  void notify_host_gain(int gain_code);
  void show_phase(int value, int channel_code);

  // Host requests (performed on the GUI thread, in the order the host made them).
  void set_lo_from_host(int32_t frequency);
  void show_tune_frequency(int32_t frequency);
  void set_rf_gain(int channel_code, int gain);

  // The widget tree, for the panels and for tests.
  Ui::MainWindow* widgets() const { return ui; }

 protected:
  void timerEvent(QTimerEvent* event) override;

 private slots:
  void on_comboBox_SDR_ID_currentIndexChanged(int index);
  void on_pushButton_LCD_cal_clicked();
  void on_comboBox_Modulation_currentIndexChanged(int index);
  void on_pushButton_save_vhf_ref_clock_pressed();
  void on_dial_R820T_LP_BW_sliderMoved(int value);
  void on_dial_R820T_HP_BW_sliderMoved(int value);
  void on_checkBox_R820T_MIX_AGC_clicked(bool checked);
  void on_checkBox_R820T_LNA_AGC_clicked(bool checked);
  void on_dial_R820T_IF_BW_valueChanged(int value);
  void on_dial_R820T_MIX_Gain_valueChanged(int value);
  void on_dial_R820T_LNA_Gain_valueChanged(int value);
  void on_dial_R820T_VGA_Gain_valueChanged(int value);
  void on_lineEdit_R820T_frequency_returnPressed();
  void on_checkBox_R820T_PWR_ON_clicked(bool checked);
  void on_checkBox_packet_size_clicked(bool checked);
  void on_checkBox_internet_forward_clicked(bool checked);
  void on_lineEdit_scan_delay_returnPressed();
  void on_tableWidget_bands_cellChanged(int row, int column);
  void Bands_Scan_Process();
  void on_checkBox_bands_scan_enable_clicked(bool checked);
  void on_tableWidget_bands_cellPressed(int row, int column);
  void on_checkBox_telnet_send_qsy_clicked(bool checked);
  void on_checkBox_skimmer_enable_clicked(bool checked);
  void on_lineEdit_telnet_port_returnPressed();
  void on_lineEdit_callsign_returnPressed();
  void on_checkBox_agc4_clicked(bool checked);
  void on_checkBox_agc3_clicked(bool checked);
  void ReadUDPMessages();
  void CloseUdp();
  void SendDiscoverRequest();
  void telnetError(QAbstractSocket::SocketError error);
  void telnet_read_data();
  void telnet_connected();
  void telnet_disconnected();
  void on_checkBox_automatic_discovery_clicked(bool checked);
  void on_checkBox_DHCP_Client_clicked(bool checked);
  void on_checkBox_LEDs_on_clicked(bool checked);
  void on_lineEdit_i2c_switch_returnPressed();
  void on_checkBox_start_UDP_clicked(bool checked);
  void on_checkBox_agc1_clicked(bool checked);
  void on_checkBox_agc2_clicked(bool checked);
  void on_dial_RF_Gain_ch2_valueChanged(int value);
  void on_dial_2_valueChanged(int value);
  void on_comboBox_stream_number_activated(int index);
  void on_pushButton_MultiStream_pressed();
  void on_checkBox_overload_clicked(bool checked);
  void on_dial_Phase_shift_4_valueChanged(int value);
  void on_dial_Phase_shift_3_valueChanged(int value);
  void on_pushButton_choose_sdr_path_pressed();
  void on_pushButton_usb_mode_pressed();
  void on_dial_FE_gain_sliderMoved(int value);
  void on_comboBox_RX_Channel_currentIndexChanged(int index);
  void on_comboBox_RX_mode_currentIndexChanged(int index);
  void on_checkBox_Diversity_mode_3_clicked(bool checked);
  void on_dial_Phase_shift_valueChanged(int value);
  void on_dial_2_dialMoved(int value);
  void on_dial_RF_Gain_ch2_dialMoved(int value);
  void on_checkBox_DHCP_Server_clicked(bool checked);
  void on_pushButton_SaveID_pressed();
  void on_pushButton_ResetSDR_pressed();
  void on_checkBox_multicast_toggled(bool checked);
  void on_lineEdit_NCO2_Frequency_returnPressed();
  void on_checkBox_bypass_lpf_toggled(bool checked);
  void on_checkBox_broadcast_slave_toggled(bool checked);
  void on_checkBox_broadcast_UDP_toggled(bool checked);
  void on_pushButton_firmware_upgrade_pressed();
  void on_pushButton_calibration_pressed();
  void on_pushButton_get_sync_state_pressed();
  void Change_BPF(unsigned short word);
  void on_pushButton_gain_table_pressed();
  void on_pushButton_VCO_save_pressed();
  void on_spinBox_VCO_comp_valueChanged(int value);
  void on_lineEdit_network_Sample_Rate_returnPressed();
  void on_checkBox_enable_network_toggled(bool checked);
  void on_checkBox_3_toggled(bool checked);
  void on_pushButton_5_clicked();
  void on_pushButton_RX_mode_clicked();
  void on_pushButton_SR_pressed();
  void on_checkBox_inversion_flag_toggled(bool checked);
  void on_pushButton_clicked(bool checked);
  void on_pushButton_save_default_pressed();
  void on_pushButton_main_clock_pressed();
  void on_pushButton_choose_filter_pressed();
  void on_checkBox_HID_console_on_toggled(bool checked);
  void on_lineEdit_command_input_returnPressed();
  void on_checkBox_toggled(bool checked);
  void on_lineEdit_2_returnPressed();
  void on_horizontalSlider_tune_step_valueChanged(int value);
  void on_lineEdit_returnPressed();
  void on_pushButton_2_clicked();
  void on_pushButton_clicked();
  void on_dial_valueChanged(int value);
  void readTCPdata();
  void TCP_connected();
  void displayError(QAbstractSocket::SocketError error);
  void on_dial_2_sliderMoved(int value);

 public:
  // Operations of the panels that construction and the status poll call.
  void tcp_connect();                   // control_link.cpp
  void set_transverter_mode(bool on);   // tuning_panel.cpp
  void discovery_start();               // discovery.cpp
  void claim_stream_number();           // stream_sharing.cpp
  void apply_stream_controls(int stream);  // stream_sharing.cpp
  void release_stream_number();         // stream_sharing.cpp
  void start_stop_stream(bool start);   // network_panel.cpp
  void show_rate_status();              // network_panel.cpp
  void skimmer_send_lo_freq(int frequency);  // telnet_panel.cpp
  void skimmer_send_qsy(int frequency);      // telnet_panel.cpp

  // Members, in the order the window declares them.
  QMutex gain_lock;
  int fe_gain_index = 0;
  int startup_pending = 0;
  int tuned_frequency = 0;
  int channel_frequency[5] = {0, 0, 0, 0, 0};
  int display_frequency = 0;
  int inversion = 1;
  int alias_inversion = 1;
  int heterodyne = 0;
  int last_sent_frequency = 0;
  int tune_step = 0;
  int host_tuned = 0;
  int gain_from_host = 0;
  int timer_20ms = 0;
  int timer_200ms = 0;
  int timer_1000ms = 0;
  int band_scan_interval = 0;
  int vco_offset = 0;
  int auto_discovery = 0;
  unsigned main_clock = 0;
  unsigned hw_version = 0;
  unsigned sample_rate = 0;
  int rf_gain_code[5] = {0, 0, 0, 0, 0};
  int16_t rx_mode = 0;
  int rx_mode_update_guard = 0;
  int phase_shift_enabled = 0;
  int channel = 0;
  int stream_number = 0;
  int network_mode = 0;
  int broadcast = 0;
  int multicast = 0;
  int slave_mode = 0;
  int bypass_lpf = 0;
  int agc_mask = 0;
  int telnet_state = 0;
  int telnet_last_qsy = 0;
  int link_state = 0;
  QHostAddress receiver_address;
  QHostAddress receiver_mask;
  QHostAddress destination_address;
  QHostAddress gateway_address;
  QTcpSocket* control_socket = nullptr;
  QTcpSocket* telnet_socket = nullptr;
  uint16_t port = 0;
  Ui::MainWindow* ui = nullptr;
  QStringList band_headers;
  QUdpSocket* discovery_send_socket = nullptr;
  QUdpSocket* discovery_socket = nullptr;
  QTimer* band_scan_timer = nullptr;
  QTimer spare_timer;
  unsigned char discovery_in_progress = 0;
  QSharedMemory stream_share;
  uint32_t* stream_share_data = nullptr;
  int receiver_count = 0;
  unsigned char receiver_list[MAX_LISTED_RECEIVERS][RECEIVER_RECORD_BYTES] = {};
  int band_scan_row = 0;
  // The drive path of the mass-storage receiver, as the user chose it.
  QString drive_path;
  // The window's RF gain in dB, as last computed by its gain dials.
  float rf_gain_db = 0.0f;
  // stream_sharing.cpp: whether this window set a bit in the shared word,
  // and the lease that marks the bit as held by a live copy.
  bool stream_bit_claimed = false;
  StreamLease stream_lease;
  // discovery.cpp
  bool discovery_serial_listed(const uint8_t* reply) const;

 private:
  void wake_for_host_requests();
  // The status poll's branches (status_poll.cpp).
  void poll_200ms();
  void poll_20ms();
  void send_tuned_frequency();
  void dispatch_answer(const struct Answer& answer);

  // network_panel.cpp
  void save_network_address(QLineEdit* field, QHostAddress& address, int (*send)(uint32_t),
                            const char* key, const char* label);
};
