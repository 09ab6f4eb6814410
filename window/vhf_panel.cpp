// The VHF/SHF front end (R820T tuner): each control sends its one command at
// once. The page keeps no state and stores nothing. The gain and IF dials send
// on every change; the filter-corner dials only while dragged; the check boxes
// only on clicks (their slots are connected to clicked()).
#include <QLineEdit>
#include <QSpinBox>

#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "window/mainwindow.h"

void MainWindow::on_checkBox_R820T_PWR_ON_clicked(bool checked) { CMD_SET_R820T_POWER(checked); }

void MainWindow::on_lineEdit_R820T_frequency_returnPressed() {
  bool ok = false;
  const uint32_t hz = ui->lineEdit_R820T_frequency->text().trimmed().toUInt(&ok);
  CMD_SET_R820T_FREQUENCY(ok ? hz : 0);
}

void MainWindow::on_dial_R820T_LNA_Gain_valueChanged(int value) {
  CMD_SET_R820T_LNA_GAIN(static_cast<uint8_t>(value & 0x0F));
}

void MainWindow::on_dial_R820T_MIX_Gain_valueChanged(int value) {
  CMD_SET_R820T_MIX_GAIN(static_cast<uint8_t>(value & 0x0F));
}

void MainWindow::on_dial_R820T_VGA_Gain_valueChanged(int value) {
  CMD_SET_R820T_VGA_GAIN(static_cast<uint8_t>(value & 0x0F));
}

void MainWindow::on_checkBox_R820T_LNA_AGC_clicked(bool checked) { CMD_SET_R820T_LNA_AGC(checked); }

void MainWindow::on_checkBox_R820T_MIX_AGC_clicked(bool checked) { CMD_SET_R820T_MIX_AGC(checked); }

void MainWindow::on_dial_R820T_IF_BW_valueChanged(int value) {
  CMD_SET_R820T_IF_BW(static_cast<uint8_t>(value & 0x3F));
}

void MainWindow::on_dial_R820T_LP_BW_sliderMoved(int value) {
  CMD_SET_R820T_LP_BW(static_cast<uint8_t>(value & 0xFF));
}

void MainWindow::on_dial_R820T_HP_BW_sliderMoved(int value) {
  CMD_SET_R820T_HP_BW(static_cast<uint8_t>(value & 0xFF));
}

void MainWindow::on_pushButton_save_vhf_ref_clock_pressed() {
  CMD_SAVE_VHF_REF_CLOCK(static_cast<uint32_t>(ui->spinBox_VHF_RefClock->value()));
}
