// Slots and operations whose panels are still to be built. Each moves to its
// panel's file when that panel is built; this file then shrinks to nothing.
#include "window/mainwindow.h"

void MainWindow::on_checkBox_telnet_send_qsy_clicked(bool) {}
void MainWindow::on_checkBox_skimmer_enable_clicked(bool) {}
void MainWindow::on_lineEdit_telnet_port_returnPressed() {}
void MainWindow::on_lineEdit_callsign_returnPressed() {}
void MainWindow::telnetError(QAbstractSocket::SocketError) {}
void MainWindow::telnet_read_data() {}
void MainWindow::telnet_connected() {}
void MainWindow::telnet_disconnected() {}
void MainWindow::readTCPdata() {}
void MainWindow::TCP_connected() {}
void MainWindow::displayError(QAbstractSocket::SocketError) {}
void MainWindow::timerEvent(QTimerEvent*) {}
void MainWindow::tcp_connect() {}
void MainWindow::skimmer_send_lo_freq(int) {}
void MainWindow::skimmer_send_qsy(int) {}
