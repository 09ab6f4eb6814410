// The status poll: the window's timer handler. The 20 ms tick
// watches the link, runs the start-up sequence, dispatches at most one answer
// and sends the tuned frequency when it changed; the 200 ms tick carries the
// host's run and show/hide requests into the window and shows the packet
// rate; the 1000 ms tick asks for the channel gains. The decisions and the
// step table are usb/answer_dispatch and usb/startup_sequence; this file
// reads and shows.
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTimerEvent>
#include <cstring>

#include "net/tcp_channel.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "ui_mainwindow.h"
#include "usb/answer_dispatch.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "usb/startup_sequence.h"
#include "usb/usb_app.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

const char GREEN[] = ":/new/prefix1/green.png";
const char RED[] = ":/new/prefix1/red.png";
constexpr int ANSWER_BUFFER_BYTES = 23;

unsigned char answer_buffer[ANSWER_BUFFER_BYTES];

// The window as the start-up sequence sees it.
class WindowSteps : public StartupWindow {
 public:
  explicit WindowSteps(MainWindow& w) : w_(w) {}
  int slave_mode() const override { return w_.slave_mode; }
  int network_mode() const override { return w_.network_mode; }
  int rx_mode() const override { return w_.rx_mode; }
  int broadcast() const override { return w_.broadcast; }
  int multicast() const override { return w_.multicast; }
  int stream_number() const override { return w_.stream_number; }
  void apply_stored_fe_gain() override { w_.apply_fe_gain(w_.fe_gain_index); }
  int show_channel0_gain() override {
    w_.widgets()->dial_2->setValue(w_.rf_gain_code[0]);
    w_.notify_host_gain(w_.rf_gain_code[0]);
    return w_.rf_gain_code[0];
  }
  void notify_second_channel_gain() override {
    const int value = w_.widgets()->dial_RF_Gain_ch2->value();
    w_.notify_host_gain(device_generation == 1 ? value * 2 : value);
  }
  void apply_stored_phase_shift() override {
    w_.phase_shift_enabled = settings_store().read_int("enable_phase_shift", 0);
    const bool on = w_.phase_shift_enabled == 1;
    w_.widgets()->checkBox_Diversity_mode_3->setChecked(on);
    // A private slot of the window, reached through its meta-object.
    QMetaObject::invokeMethod(&w_, "on_checkBox_Diversity_mode_3_clicked", Qt::DirectConnection,
                              Q_ARG(bool, on));
  }
  uint32_t adopt_stored_sample_rate() override {
    w_.sample_rate = settings_store().read_unsigned("sdr_sample_rate", 0);
    return w_.sample_rate;
  }
  void show_stream_number() override { w_.widgets()->comboBox_stream_number->setCurrentIndex(w_.stream_number); }
  void startup_finished() override { w_.last_sent_frequency = 0; }

 private:
  MainWindow& w_;
};

QString hex(uint32_t value, int digits, QChar fill = QChar('0')) {
  return QString("%1").arg(value, digits, 16, fill);
}

}  // namespace

void MainWindow::timerEvent(QTimerEvent* event) {
  network_tunnel = network_mode == 1 ? 1 : 0;
  memset(answer_buffer, 0, sizeof answer_buffer);
  const int id = event->timerId();
  if (id == timer_1000ms) {
    if (ui->checkBox_agc_feedback->isChecked()) CMD_QUERY_CHANNEL_GAINS();
  } else if (id == timer_200ms) {
    poll_200ms();
  } else if (id == timer_20ms) {
    poll_20ms();
  } else {
    QMainWindow::timerEvent(event);
  }
}

void MainWindow::poll_200ms() {
  PollState& poll = poll_state();
  ReceiverState& state = receiver_state();
  // 1. The host's run request.
  const int run = state.run_request();
  if (run != poll.last_run_request && (network_mode == 1 || hid_status == LINK_MASS_STORAGE)) {
    start_stop_stream(run == 1);
    poll.last_run_request = run;
  }
  // 2. Visibility, on every tick.
  if (state.gui_hidden() != 0) hide();
  else show();
  // 3. QSY to the skimmer.
  const int tune = state.tune();
  if (tune != telnet_last_qsy && ui->checkBox_telnet_send_qsy->isChecked() &&
      ui->checkBox_skimmer_enable->isChecked())
    skimmer_send_qsy(tune);
  // 4. Packet rate over ten ticks. Both counters are taken (read and
  // cleared in one step) on every tick, so no packet counted between a read
  // and a clear is lost.
  const auto datagrams = udp_app().take_packet_count();
  const auto blocks = usb_app().take_block_count();
  if (poll.packet_tick > 9) {
    ui->lcdNumber_packet_counter->display(packet_rate_factor(hid_status, rx_mode, stream_number) *
                                          poll.packet_sum);
    poll.packet_sum = 0;
    poll.packet_tick = 0;
  } else {
    poll.packet_sum += hid_status == LINK_MASS_STORAGE ? blocks : datagrams;
    poll.packet_tick += 1;
  }
  // 5. The stream's extended header (broadcast slave).
  if (udp_app().header_kind.load() == 24) {
    if ((slave_mode == 1 || broadcast == 1) && rx_mode != 0)
      ui->lcdNumber1_Second_NCO2->display(udp_app().header_frequency_ch2.load());
    if (slave_mode == 1) {
      tuned_frequency = channel == 2 ? udp_app().header_frequency_ch2.load() : udp_app().header_frequency_ch1.load();
      host_tuned = 0;
      sample_rate = static_cast<unsigned>(state.sample_rate());
      const int32_t header_rate = udp_app().header_sample_rate.load();
      if (static_cast<unsigned>(header_rate) != sample_rate) {
        sample_rate = static_cast<unsigned>(header_rate);
        state.set_sample_rate(header_rate);
        ui->lineEdit_network_Sample_Rate->setText(QString("%1").arg(sample_rate, 8));
        state.notify_host(STATUS_SAMPLE_RATE_CHANGED);
      }
      rx_mode = udp_app().stream_rx_mode.load();
      ui->comboBox_RX_mode->setCurrentIndex(rx_mode);
    }
  }
}

void MainWindow::poll_20ms() {
  PollState& poll = poll_state();
  // 1. The host's gain, once the sequence is done.
  if (startup_pending == 0) sync_rf_gain_from_host();
  // 2. The TCP channel: a busy channel ends the tick.
  if (network_mode == 1 && control_socket && !tcp_poll_service(control_socket, &poll.tcp_busy_ticks)) return;
  // 3. The link.
  hid_device* dev = hid_device_handle();
  const wchar_t* error_text = (dev && hid_status != LINK_MASS_STORAGE) ? hid_link_error() : nullptr;
  const LinkCheck check =
      check_link(dev != nullptr, error_text != nullptr, network_mode, hid_status, device_generation, slave_mode);
  if (check.no_device) {
    ui->radioButton->setText("SDR is not found!");
    ui->led_1->setPixmap(QPixmap(RED));
    ui->radioButton_2->setText("FE disconnected");
    ui->led_2->setPixmap(QPixmap(RED));
    error_text = nullptr;
  }
  if (check.force_usb) network_mode = 0;
  if (check.verdict == LinkVerdict::SlaveWithoutLink) {
    ui->radioButton->setText("Broadcats Slave mode");
    hid_status = LINK_NONE;
    ui->led_1->setPixmap(QPixmap(GREEN));
    return;
  }
  if (check.verdict == LinkVerdict::Lost) {
    ui->radioButton->setText(error_text ? QString::fromWCharArray(error_text) : QString("Device was not found!"));
    hid_status = LINK_NONE;
    ui->led_1->setPixmap(QPixmap(RED));
    ui->radioButton_2->setText("FE disconnected");
    ui->led_2->setPixmap(QPixmap(RED));
    return;
  }
  // 4. One start-up step.
  if (startup_pending != 0 && link_state == 3) {
    WindowSteps steps(*this);
    poll.awaiting_answer = run_startup_step(steps, &startup_pending, poll.awaiting_answer);
  }
  // 5-7. One answer, or else the frequency.
  if (read_answer(answer_buffer) < 1) {
    if (tuned_frequency != last_sent_frequency && startup_pending == 0) send_tuned_frequency();
    return;
  }
  ui->led_1->setPixmap(QPixmap(GREEN));
  dispatch_answer(decode_answer(answer_buffer));
}

void MainWindow::send_tuned_frequency() {
  PollState& poll = poll_state();
  if (poll.echo_suppress) {
    poll.echo_suppress = 0;
  } else if (network_mode == 1) {
    tcp_send_frequency(static_cast<uint32_t>(tuned_frequency), static_cast<uint8_t>(channel));
  } else {
    CMD_SET_FREQUENCY(static_cast<uint32_t>(tuned_frequency), static_cast<uint8_t>(channel));
  }
  skimmer_send_lo_freq(tuned_frequency);
  display_frequency = static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(tuned_frequency) * inversion) +
                                       static_cast<uint32_t>(heterodyne));
  receiver_state().set_lo_frequency(display_frequency);
  ui->lcdNumber1->display(display_frequency);
  ui->lcdNumber3->display(tuned_frequency);
  channel_frequency[frequency_record_slot(rx_mode, channel)] = tuned_frequency;
  SettingsStore& settings = settings_store();
  switch (channel) {
    case 0:
      ui->lcdNumber1->display(display_frequency);
      ui->lcdNumber3->display(tuned_frequency);
      settings.write_int("frequency_ch1", tuned_frequency);
      ui->lcdNumber1_Second_NCO1->display(display_frequency);
      break;
    case 2:
      settings.write_int("frequency_ch2", tuned_frequency);
      ui->lcdNumber1_Second_NCO2->display(display_frequency);
      break;
    case 3:
      settings.write_int("frequency_ch3", tuned_frequency);
      ui->lcdNumber1_Second_NCO3->display(display_frequency);
      break;
    case 4:
      settings.write_int("frequency_ch4", tuned_frequency);
      ui->lcdNumber1_Second_NCO4->display(display_frequency);
      break;
    default:
      break;
  }
  if (host_tuned == 0) receiver_state().notify_host(STATUS_LO_CHANGED);
  host_tuned = 0;
  last_sent_frequency = tuned_frequency;
}

void MainWindow::dispatch_answer(const Answer& answer) {
  PollState& poll = poll_state();
  if (answer_releases_startup(answer)) poll.awaiting_answer = 0;
  if (answer.kind == Answer::Frequency) {
    tuned_frequency = static_cast<int>(answer.value);
    poll.echo_suppress = 1;
    return;
  }
  if (answer.kind != Answer::Status) return;
  const uint32_t v = answer.value;
  switch (answer.code) {
    case 4:
      if (v == 0) {
        ui->radioButton_2->setText("FE is working properly");
        ui->led_2->setPixmap(QPixmap(GREEN));
        last_sent_frequency = 0;
      } else {
        ui->radioButton_2->setText(QString("FE Init error = %1").arg(v));
        ui->led_2->setPixmap(QPixmap(RED));
      }
      break;
    case 9:
      ui->label_6->setText(QString("FirmWare Verision: %1").arg(hex(v, 4)));
      break;
    case 10:
      ui->plainTextEdit->insertPlainText(QString(QChar::fromLatin1(static_cast<char>(v & 0xFF))));
      break;
    case 14:
      sample_rate = v & 0xFFFFFF;
      receiver_state().set_sample_rate(static_cast<int32_t>(sample_rate));
      ui->label_sr->setText(QString("Sample rate: %1").arg(sample_rate, 7));
      ui->lineEdit_network_Sample_Rate->setText(QString::number(sample_rate));
      receiver_state().notify_host(STATUS_SAMPLE_RATE_CHANGED);
      break;
    case 15: {
      rx_mode_update_guard = 1;
      const RxModeView view = rx_mode_view(v, channel, channel_frequency, tuned_frequency);
      if (view.channel_index >= 0) ui->comboBox_RX_Channel->setCurrentIndex(view.channel_index);
      // Selecting a channel runs its slot, which may retune: the answer's
      // choice is applied after it.
      tuned_frequency = view.tuned_frequency;
      if (view.channel >= 0) channel = view.channel;
      rx_mode = static_cast<int16_t>(v & 0xFFFF);
      receiver_state().set_channel_index(channel);
      ui->comboBox_RX_mode->setCurrentIndex(rx_mode);
      rx_mode_update_guard = 0;
      ui->label_diversity_mode->setText(view.text);
      if (stream_number != 0) ui->comboBox_RX_Channel->setCurrentIndex(stream_number - 1);
      poll.awaiting_answer = 0;
      last_sent_frequency = 0;
      break;
    }
    case 16:
      receiver_address = QHostAddress(v);
      ui->lineEdit_sdr_ip_byte_4->setText(receiver_address.toString());
      break;
    case 17:
      receiver_mask = QHostAddress(v);
      ui->lineEdit_sdr_ip_mask_byte_4->setText(receiver_mask.toString());
      break;
    case 18:
      gateway_address = QHostAddress(v);
      ui->lineEdit_gateway_byte_4->setText(gateway_address.toString());
      break;
    case 19:
      destination_address = QHostAddress(v);
      ui->lineEdit_dst_ip_byte_4->setText(destination_address.toString());
      break;
    case 20:
      port = static_cast<uint16_t>(v & 0xFFFF);
      ui->lineEdit_udp_port->setText(QString("%1").arg(port, 8));
      break;
    case 29:
      ui->label_Serial_Number_2->setText(hex(v, 8).toUpper());
      break;
    case 32:
      vco_offset = vco_offset_from_answer(v);
      ui->spinBox_VCO_comp->setValue(vco_offset);
      settings_store().write_int("sdr_vco_voltage", vco_offset);
      break;
    case 34: {
      int rows[4];
      unpack_gain_table(v, rows);
      ui->spinBox_gain_table_0db->setValue(rows[0]);
      ui->spinBox_gain_table_10db->setValue(rows[1]);
      ui->spinBox_gain_table_20db->setValue(rows[2]);
      ui->spinBox_gain_table_30db->setValue(rows[3]);
      break;
    }
    case 36:
      ui->plainTextEdit->insertPlainText(QString("Sync Word: %1\n\r").arg(hex(v, 8, QChar(' '))));
      break;
    case 37:
      hw_version = v;
      ui->label_hw_cpld_sn->setText(QString("HW/CPLD version: %1\n\r").arg(hex(v, 8)));
      break;
    case 41:
      broadcast = static_cast<int>(v);
      ui->checkBox_broadcast_UDP->setChecked(v != 0);
      break;
    case 51:
      if (v <= 2) ui->comboBox_SDR_ID->setCurrentIndex(static_cast<int>(v));
      break;
    case 54:
      ui->checkBox_DHCP_Server->setChecked(v != 0);
      break;
    case 70: {
      int gains[4];
      channel_gains_db(v, gains);
      QLCDNumber* displays[4] = {ui->lcdNumber_rf_gain_ch1, ui->lcdNumber_rf_gain_ch2, ui->lcdNumber_rf_gain_ch3,
                                 ui->lcdNumber_rf_gain_ch4};
      QString texts[4];
      for (int i = 0; i < 4; ++i) {
        texts[i] = QString("%1 db").arg(static_cast<double>(gains[i]), 0, 'f', 2);
        displays[i]->display(texts[i]);
      }
      ui->lcdNumber2->display((stream_number & 1) || channel == 0 ? texts[0] : texts[1]);
      break;
    }
    case 71:
      agc_mask = static_cast<int>(v & 15);
      ui->checkBox_overload->setChecked(v & 1);
      ui->checkBox_agc1->setChecked(v & 1);
      if (stream_number == 2) ui->checkBox_overload->setChecked(v & 2);
      else ui->checkBox_agc2->setChecked(v & 2);
      ui->checkBox_agc3->setChecked(v & 4);
      ui->checkBox_agc4->setChecked(v & 8);
      break;
    case 72:
    case 73:
      udp_app().set_stream_number(static_cast<int>(v));
      usb_app().set_stream_number(static_cast<int>(v));
      break;
    case 76:
      ui->checkBox_DHCP_Client->setChecked(v != 0);
      break;
    case 85: {
      uint32_t clock = main_clock;
      if (apply_main_clock_half(v, &clock) == ClockHalf::High) {
        main_clock = clock;
        ui->label_11->setText(QString("FrontEnd Main Clock Frequency:  %1(Hz)").arg(main_clock, 8));
        sample_rate = static_cast<unsigned>(receiver_state().sample_rate());
        show_rate_status();
      } else {
        main_clock = clock;
      }
      break;
    }
    case 91:
      ui->spinBox_VHF_RefClock->setValue(static_cast<int>(v));
      break;
    default:
      break;
  }
}
