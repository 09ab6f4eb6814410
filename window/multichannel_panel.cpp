// The "Multy Channel RX" page: RX mode, the channel that reaches the host,
// per-channel AGC, phase shift and the second NCO. Selections go to the
// receiver, the receiver state and both sample threads.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLCDNumber>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "net/udp_app.h"
#include "plugin/receiver_state.h"
#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "usb/usb_app.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

const int CHANNEL_CODE_OF_INDEX[4] = {0, 2, 3, 4};

}  // namespace

QCheckBox* MainWindow::agc_box_of(int channel_code) const {
  switch (channel_code) {
    case 0: return ui->checkBox_agc1;
    case 2: return ui->checkBox_agc2;
    case 3: return ui->checkBox_agc3;
    case 4: return ui->checkBox_agc4;
    default: return nullptr;
  }
}

void MainWindow::send_agc_mask() {
  int mask = agc_mask & ~0x0F;
  if (ui->checkBox_agc1->isChecked()) mask |= 1;
  if (ui->checkBox_agc2->isChecked()) mask |= 2;
  if (ui->checkBox_agc3->isChecked()) mask |= 4;
  if (ui->checkBox_agc4->isChecked()) mask |= 8;
  agc_mask = mask;
  CMD_SET_AGC_MASK(agc_mask);
}

void MainWindow::notify_host_gain(int gain_code) {
  receiver_state().set_att_index(gain_code >> 3);
  if (gain_from_host == 0) receiver_state().notify_host(STATUS_ATTENUATOR_CHANGED);
  gain_from_host = 0;
}

void MainWindow::on_checkBox_agc1_clicked(bool checked) {
  send_agc_mask();
  if (channel == 0 || (stream_number & 1)) ui->checkBox_overload->setChecked(checked);
  if (rx_mode == 1 || rx_mode == 3) {
    ui->checkBox_overload->setChecked(checked);
    ui->checkBox_agc2->setChecked(checked);
  } else if (rx_mode == 4) {
    ui->checkBox_agc3->setChecked(checked);
    ui->checkBox_agc4->setChecked(checked);
  }
}

void MainWindow::on_checkBox_agc2_clicked(bool checked) {
  send_agc_mask();
  if (channel == 2 || (stream_number & 2)) ui->checkBox_overload->setChecked(checked);
}

void MainWindow::on_checkBox_agc3_clicked(bool checked) {
  send_agc_mask();
  if (channel == 3) ui->checkBox_overload->setChecked(checked);
}

void MainWindow::on_checkBox_agc4_clicked(bool checked) {
  send_agc_mask();
  if (channel == 4) ui->checkBox_overload->setChecked(checked);
}

void MainWindow::on_checkBox_overload_clicked(bool checked) {
  const int target = stream_number == 1 ? 0 : stream_number == 2 ? 2 : channel;
  if (rx_mode == 4) {
    for (QCheckBox* box : {ui->checkBox_agc3, ui->checkBox_agc4, ui->checkBox_agc1, ui->checkBox_agc2})
      box->setChecked(checked);
  } else if (rx_mode == 1 || rx_mode == 3) {
    ui->checkBox_agc1->setChecked(checked);
    ui->checkBox_agc2->setChecked(checked);
  } else if (QCheckBox* box = agc_box_of(target)) {
    box->setChecked(checked);
  }
  send_agc_mask();
}

void MainWindow::on_dial_2_sliderMoved(int value) { notify_host_gain(value); }
void MainWindow::on_dial_2_dialMoved(int value) { notify_host_gain(value); }
void MainWindow::on_dial_RF_Gain_ch2_dialMoved(int value) { notify_host_gain(value); }

void MainWindow::on_comboBox_RX_Channel_currentIndexChanged(int index) {
  if (index >= 0 && index < 4) {
    channel = CHANNEL_CODE_OF_INDEX[index];
    if (QCheckBox* box = agc_box_of(channel)) ui->checkBox_overload->setChecked(box->isChecked());
  }
  bool select_channel = true;
  switch (rx_mode) {
    case 0:
      if (rx_mode_update_guard == 0 && startup_pending == 0) {
        CMD_SET_RX_MODE(0, channel);
        notify_host_gain(ui->dial_2->value());
      }
      break;
    case 1:
    case 3:
    case 4:
      notify_host_gain(rf_gain_code[0]);
      notify_host_gain(rf_gain_code[0]);
      ui->checkBox_overload->setChecked(ui->checkBox_agc1->isChecked());
      tuned_frequency = channel_frequency[0];
      receiver_state().set_channel_index(0);
      ui->checkBox_agc2->setEnabled(false);
      ui->checkBox_agc3->setEnabled(false);
      ui->checkBox_agc4->setEnabled(false);
      select_channel = false;
      break;
    case 5:
      ui->checkBox_agc3->setEnabled(true);
      ui->checkBox_agc4->setEnabled(true);
      [[fallthrough]];
    case 2:
      ui->checkBox_agc2->setEnabled(true);
      notify_host_gain(rf_gain_code[channel]);
      notify_host_gain(rf_gain_code[channel]);
      break;
    default:
      break;
  }
  if (select_channel) {
    tuned_frequency = channel_frequency[channel];
    receiver_state().set_channel_index(channel);
  }
  last_sent_frequency = 0;
  host_tuned = 0;
  udp_app().set_selected_channel(channel);
  usb_app().set_selected_channel(channel);
  settings_store().write_int("rx_channel_number", channel);
}

void MainWindow::on_comboBox_RX_mode_currentIndexChanged(int index) {
  rx_mode = static_cast<int16_t>(index);
  on_comboBox_RX_Channel_currentIndexChanged(ui->comboBox_RX_Channel->currentIndex());
  if (slave_mode == 0 && rx_mode_update_guard == 0 && startup_pending == 0)
    CMD_SET_RX_MODE(index, channel);
  udp_app().set_rx_mode(index);
  usb_app().set_rx_mode(index);
  on_comboBox_RX_Channel_currentIndexChanged(ui->comboBox_RX_Channel->currentIndex());
}

void MainWindow::on_pushButton_RX_mode_clicked() {
  if (CMD_SAVE_PARAMETER(8, rx_mode) != 0)
    ui->plainTextEdit->appendPlainText("New RX mode was saved\n");
  else
    ui->plainTextEdit->appendPlainText("Cannot save new RX mode!\n");
}

void MainWindow::on_checkBox_Diversity_mode_3_clicked(bool checked) {
  if (!checked) {
    udp_app().set_diversity(0);
    usb_app().set_diversity(0);
    phase_shift_enabled = 0;
    return;
  }
  const int phase = settings_store().read_int("phase_shift", 0);
  udp_app().set_diversity(1);
  usb_app().set_diversity(1);
  ui->groupBox_phase->show();
  if (ui->dial_Phase_shift->value() == phase)
    CMD_SET_PHASE_SHIFT(phase, 2);
  else
    ui->dial_Phase_shift->setValue(phase);
  phase_shift_enabled = 1;
}

void MainWindow::show_phase(int value, int channel_code) {
  CMD_SET_PHASE_SHIFT(value, channel_code);
  const QString text = QString("%1").arg(value * 0.0625, 0, 'f', 2);
  static const char* const keys[] = {"phase_shift", "phase_shift_ch3", "phase_shift_ch4"};
  settings_store().write_int(keys[channel_code - 2], value);
  QLCDNumber* displays[] = {ui->lcdNumber_phase, ui->lcdNumber_phase_3, ui->lcdNumber_phase_4};
  displays[channel_code - 2]->display(text);
}

void MainWindow::on_dial_Phase_shift_valueChanged(int value) { show_phase(value, 2); }
void MainWindow::on_dial_Phase_shift_3_valueChanged(int value) { show_phase(value, 3); }
void MainWindow::on_dial_Phase_shift_4_valueChanged(int value) { show_phase(value, 4); }

void MainWindow::on_lineEdit_NCO2_Frequency_returnPressed() {
  if (rx_mode != 2) return;
  bool ok = false;
  const int frequency = ui->lineEdit_NCO2_Frequency->text().trimmed().toInt(&ok);
  channel_frequency[2] = ok ? frequency : 0;
  CMD_SET_FREQUENCY(channel_frequency[2], 2);
  settings_store().write_int("frequency_ch2", channel_frequency[2]);
}
