// The "Network" page: the receiver's own network configuration, the choice of
// link for the next start, the start and stop of the sample stream on either
// link, the stream options, the receiver's identity and the sample rate.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "net/sample_rate_check.h"
#include "net/tcp_channel.h"
#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "usb/usb_app.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

constexpr int NO_SDR_ID = 3;

// Construction itself checks the link box in network mode; that first toggle
// after the library is loaded is not the operator's and gets no message.
bool link_box_toggled_before = false;

// A decimal entry in 0..`top`; anything else (text, a negative number, a
// number beyond `top`) is 0.
unsigned read_decimal(const QLineEdit* field, unsigned top) {
  bool ok = false;
  const qlonglong value = field->text().trimmed().toLongLong(&ok);
  return ok && value >= 0 && value <= static_cast<qlonglong>(top) ? static_cast<unsigned>(value) : 0;
}

// A dotted IPv4 address as a number, first octet in the top byte. A text
// that is not one (IPv6 included) is 0.0.0.0, so that what is sent and what
// is stored agree.
quint32 read_ipv4(const QLineEdit* field) {
  bool ok = false;
  const quint32 value = QHostAddress(field->text().trimmed()).toIPv4Address(&ok);
  return ok ? value : 0;
}

bool hid_receiver_open() { return hid_status == LINK_HID; }

}  // namespace

void MainWindow::on_checkBox_3_toggled(bool checked) {
  for (QLineEdit* field : {ui->lineEdit_sdr_ip_byte_4, ui->lineEdit_gateway_byte_4,
                           ui->lineEdit_sdr_ip_mask_byte_4, ui->lineEdit_udp_port})
    field->setReadOnly(!checked);
}

void MainWindow::save_network_address(QLineEdit* field, QHostAddress& address,
                                      int (*send)(uint32_t), const char* key,
                                      const char* label) {
  const quint32 value = read_ipv4(field);
  address = QHostAddress(value);
  if (hid_receiver_open()) send(value);
  settings_store().write_text(key, address.toString());
  ui->plainTextEdit_Network->appendPlainText(
      QString("%1: %2 was sent!").arg(label).arg(value, 8, 16, QChar(' ')));
}

void MainWindow::on_pushButton_5_clicked() {
  // The stored port takes effect at the next construction; `port` stays.
  const unsigned new_port = read_decimal(ui->lineEdit_udp_port, 65535);
  if (hid_receiver_open() && new_port != port) CMD_SET_DEST_PORT(new_port);
  settings_store().write_unsigned("udp_port", new_port);
  ui->plainTextEdit_Network->appendPlainText(
      QString("UDP port: %1 was sent!").arg(new_port, 8));

  save_network_address(ui->lineEdit_sdr_ip_byte_4, receiver_address, CMD_SET_IP_ADDRESS,
                       "sdr_ip_address", "SDR IP");
  save_network_address(ui->lineEdit_sdr_ip_mask_byte_4, receiver_mask, CMD_SET_IP_MASK,
                       "sdr_ip_mask", "SDR IP mask");
  save_network_address(ui->lineEdit_gateway_byte_4, gateway_address, CMD_SET_GATEWAY,
                       "gateway_ip_address", "Gateway IP");
}

void MainWindow::on_checkBox_enable_network_toggled(bool checked) {
  if (link_box_toggled_before) {
    ui->plainTextEdit_Network->appendPlainText(
        checked ? "Network interface was enabled!\n Pleas reload software to run with new setting!!!\n"
                : "Network interface was disabled!\n Pleas reload software to run with new setting!!!\n");
  }
  link_box_toggled_before = true;
  settings_store().write_int("network_enable_flag", checked ? 1 : 0);
}

void MainWindow::on_checkBox_start_UDP_clicked(bool checked) {
  receiver_state().set_run_request(checked ? 1 : 0);
  start_stop_stream(checked);
}

void MainWindow::start_stop_stream(bool start) {
  on_checkBox_packet_size_clicked(ui->checkBox_packet_size->isChecked());
  if (start) {
    if (!ui->checkBox_start_UDP->isChecked()) ui->checkBox_start_UDP->setChecked(true);
    if (network_mode == 1) {
      udp_app().start_stream();
      if (!ui->checkBox_internet_forward->isChecked()) tcp_send_run_state(2);
    } else {
      if (hid_status == LINK_MASS_STORAGE) usb_app().start_reader();
      CMD_SET_USB_STREAMING(true);
    }
  } else {
    if (ui->checkBox_start_UDP->isChecked()) ui->checkBox_start_UDP->setChecked(false);
    if (network_mode == 1) {
      udp_app().request_stop();
      tcp_send_run_state(1);
    } else {
      CMD_SET_USB_STREAMING(false);
      if (hid_status == LINK_MASS_STORAGE) usb_app().stop_reader();
    }
  }
}

void MainWindow::on_checkBox_packet_size_clicked(bool checked) {
  udp_app().set_small_packets(checked ? 1 : 0);
  tcp_send_packet_size(checked ? 1 : 0);
}

void MainWindow::on_checkBox_broadcast_UDP_toggled(bool checked) {
  broadcast = checked ? 1 : 0;
  udp_app().set_broadcast_flag(broadcast);
  CMD_SET_BROADCAST(checked);
  settings_store().write_int("broadcast_flag", broadcast);
}

void MainWindow::on_checkBox_multicast_toggled(bool checked) {
  multicast = checked ? 1 : 0;
  udp_app().set_multicast(multicast);
  settings_store().write_unsigned("multicast", static_cast<unsigned>(multicast));
  CMD_SET_MULTICAST(checked);
}

void MainWindow::on_checkBox_internet_forward_clicked(bool checked) {
  settings_store().write_int("internet_connect_flag", checked ? 1 : 0);
}

void MainWindow::on_checkBox_DHCP_Client_clicked(bool checked) {
  CMD_SET_DHCP_CLIENT(checked ? 1 : 0);
}

void MainWindow::on_checkBox_DHCP_Server_clicked(bool checked) {
  CMD_SET_DHCP_SERVER(checked ? 1 : 0);  // 1: the receiver's server is off
}

void MainWindow::on_comboBox_SDR_ID_currentIndexChanged(int index) {
  if (index >= 0 && index < NO_SDR_ID) CMD_SET_SDR_ID(static_cast<uint8_t>(index));
}

void MainWindow::on_pushButton_SaveID_pressed() {
  CMD_SAVE_SDR_ID(static_cast<uint8_t>(ui->comboBox_SDR_ID->currentIndex()));
}

void MainWindow::on_lineEdit_network_Sample_Rate_returnPressed() {
  const unsigned rate = read_decimal(ui->lineEdit_network_Sample_Rate, INT32_MAX);
  sample_rate = rate;
  receiver_state().set_sample_rate(static_cast<int32_t>(rate));
  if (network_mode == 1)
    tcp_send_sample_rate(rate);
  else
    CMD_SET_SAMPLE_RATE(rate);
  settings_store().write_int("sdr_sample_rate", static_cast<int>(rate));
  receiver_state().notify_host(STATUS_SAMPLE_RATE_CHANGED);
  show_rate_status();
}

void MainWindow::show_rate_status() {
  const uint32_t delivered = deliverable_sample_rate(sample_rate, main_clock);
  if (delivered == sample_rate && sample_rate != 0) {
    ui->label_sample_rate_value->setText(
        "<span style=\" font-size:8pt; font-weight:600; color:green;\">Ok!</span>");
  } else {
    ui->label_sample_rate_value->setText(
        QString("<span style=\" font-size:8pt; font-weight:600; color:red;\">%1</span>")
            .arg(delivered, 9));
  }
}
