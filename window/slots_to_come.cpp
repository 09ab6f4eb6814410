// Slots and operations whose panels are still to be built. Each moves to its
// panel's file when that panel is built; this file then shrinks to nothing.
#include "window/mainwindow.h"

void MainWindow::on_pushButton_LCD_cal_clicked() {}
void MainWindow::on_comboBox_Modulation_currentIndexChanged(int) {}
void MainWindow::on_pushButton_save_vhf_ref_clock_pressed() {}
void MainWindow::on_dial_R820T_LP_BW_sliderMoved(int) {}
void MainWindow::on_dial_R820T_HP_BW_sliderMoved(int) {}
void MainWindow::on_checkBox_R820T_MIX_AGC_clicked(bool) {}
void MainWindow::on_checkBox_R820T_LNA_AGC_clicked(bool) {}
void MainWindow::on_dial_R820T_IF_BW_valueChanged(int) {}
void MainWindow::on_dial_R820T_MIX_Gain_valueChanged(int) {}
void MainWindow::on_dial_R820T_LNA_Gain_valueChanged(int) {}
void MainWindow::on_dial_R820T_VGA_Gain_valueChanged(int) {}
void MainWindow::on_lineEdit_R820T_frequency_returnPressed() {}
void MainWindow::on_checkBox_R820T_PWR_ON_clicked(bool) {}
void MainWindow::on_lineEdit_scan_delay_returnPressed() {}
void MainWindow::on_tableWidget_bands_cellChanged(int, int) {}
void MainWindow::Bands_Scan_Process() {}
void MainWindow::on_checkBox_bands_scan_enable_clicked(bool) {}
void MainWindow::on_tableWidget_bands_cellPressed(int, int) {}
void MainWindow::on_checkBox_telnet_send_qsy_clicked(bool) {}
void MainWindow::on_checkBox_skimmer_enable_clicked(bool) {}
void MainWindow::on_lineEdit_telnet_port_returnPressed() {}
void MainWindow::on_lineEdit_callsign_returnPressed() {}
void MainWindow::ReadUDPMessages() {}
void MainWindow::CloseUdp() {}
void MainWindow::SendDiscoverRequest() {}
void MainWindow::telnetError(QAbstractSocket::SocketError) {}
void MainWindow::telnet_read_data() {}
void MainWindow::telnet_connected() {}
void MainWindow::telnet_disconnected() {}
void MainWindow::on_checkBox_automatic_discovery_clicked(bool) {}
void MainWindow::on_checkBox_LEDs_on_clicked(bool) {}
void MainWindow::on_lineEdit_i2c_switch_returnPressed() {}
void MainWindow::on_comboBox_stream_number_activated(int) {}
void MainWindow::on_pushButton_MultiStream_pressed() {}
void MainWindow::on_pushButton_choose_sdr_path_pressed() {}
void MainWindow::on_pushButton_usb_mode_pressed() {}
void MainWindow::on_pushButton_ResetSDR_pressed() {}
void MainWindow::on_checkBox_bypass_lpf_toggled(bool) {}
void MainWindow::on_checkBox_broadcast_slave_toggled(bool) {}
void MainWindow::on_pushButton_firmware_upgrade_pressed() {}
void MainWindow::on_pushButton_calibration_pressed() {}
void MainWindow::on_pushButton_get_sync_state_pressed() {}
void MainWindow::Change_BPF(unsigned short) {}
void MainWindow::on_pushButton_gain_table_pressed() {}
void MainWindow::on_pushButton_VCO_save_pressed() {}
void MainWindow::on_spinBox_VCO_comp_valueChanged(int) {}
void MainWindow::on_pushButton_SR_pressed() {}
void MainWindow::on_pushButton_main_clock_pressed() {}
void MainWindow::on_pushButton_choose_filter_pressed() {}
void MainWindow::on_checkBox_HID_console_on_toggled(bool) {}
void MainWindow::on_lineEdit_command_input_returnPressed() {}
void MainWindow::readTCPdata() {}
void MainWindow::TCP_connected() {}
void MainWindow::displayError(QAbstractSocket::SocketError) {}
void MainWindow::timerEvent(QTimerEvent*) {}
void MainWindow::tcp_connect() {}
void MainWindow::discovery_start() {}
void MainWindow::claim_stream_number() {}
void MainWindow::apply_stream_controls() {}
void MainWindow::release_stream_number() {}
void MainWindow::on_pushButton_clicked() {}
void MainWindow::skimmer_send_lo_freq(int) {}
void MainWindow::skimmer_send_qsy(int) {}
