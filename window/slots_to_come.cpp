// Slots and operations whose panels are still to be built. Each moves to its
// panel's file when that panel is built; this file then shrinks to nothing.
#include "window/mainwindow.h"

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
void MainWindow::on_comboBox_stream_number_activated(int) {}
void MainWindow::on_pushButton_MultiStream_pressed() {}
void MainWindow::on_checkBox_broadcast_slave_toggled(bool) {}
void MainWindow::readTCPdata() {}
void MainWindow::TCP_connected() {}
void MainWindow::displayError(QAbstractSocket::SocketError) {}
void MainWindow::timerEvent(QTimerEvent*) {}
void MainWindow::tcp_connect() {}
void MainWindow::discovery_start() {}
void MainWindow::claim_stream_number() {}
void MainWindow::apply_stream_controls() {}
void MainWindow::release_stream_number() {}
void MainWindow::skimmer_send_lo_freq(int) {}
void MainWindow::skimmer_send_qsy(int) {}
