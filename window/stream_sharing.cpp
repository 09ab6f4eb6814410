// Sharing one network receiver among copies on this PC (each copy one
// stream, agreed through a shared segment; see net/stream_share), the
// stream selector, and the broadcast-slave choice.
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QPlainTextEdit>

#include "net/discovery.h"
#include "net/stream_share.h"
#include "net/udp_app.h"
#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "usb/usb_app.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

void MainWindow::claim_stream_number() {
  stream_number = settings_store().read_int("multi_stream_flag", 0);
  stream_bit_claimed = false;
  stream_share.setKey(STREAM_SHARE_KEY);
  if (stream_number != 0) {
    const StreamClaim claim = claim_shared_stream(stream_share, stream_number, stream_lease);
    if (!claim.error.isEmpty()) ui->plainTextEdit_Network->insertPlainText(claim.error);
    stream_number = claim.stream_number;
    stream_bit_claimed = claim.claimed;
    if (claim.attached) port = stream_port(port, stream_number);
  }
  apply_stream_controls(stream_number);
  udp_app().set_port(port);
}

void MainWindow::release_stream_number() {
  release_shared_stream(stream_share, stream_number, stream_bit_claimed, stream_lease);
  stream_bit_claimed = false;
}

void MainWindow::apply_stream_controls(int stream) {
  if (stream < 0 || stream > 4) return;
  const bool off = stream == 0;
  ui->dial_RF_Gain_ch2->setEnabled(off);
  if (stream != 1) ui->checkBox_agc1->setEnabled(off);
  if (stream < 2) ui->checkBox_agc2->setEnabled(off);
  ui->checkBox_agc3->setEnabled(off);
  ui->checkBox_agc4->setEnabled(off);
  ui->comboBox_RX_Channel->setEnabled(off);
}

void MainWindow::on_comboBox_stream_number_activated(int index) {
  settings_store().write_int("multi_stream_flag", index);
  apply_stream_controls(index);
  udp_app().set_stream_number(index);
  usb_app().set_stream_number(index);
  CMD_SET_STREAM_NUMBER(static_cast<uint8_t>(index));
}

void MainWindow::on_pushButton_MultiStream_pressed() {
  const int index = ui->comboBox_stream_number->currentIndex();
  CMD_SET_MULTI_STREAM(index >= 1 && index <= 4 ? 1 : 0);
}

void MainWindow::on_checkBox_broadcast_slave_toggled(bool checked) {
  slave_mode = checked ? 1 : 0;
  settings_store().write_int("broadcast_slave", slave_mode);
}
