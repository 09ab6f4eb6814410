// The telnet client that keeps a CW skimmer program on this PC told of the
// receiver's frequency (LO) and the host's tune frequency (QSY). One-way:
// what the skimmer sends is shown and scanned only for its login prompt.
// The awaiting-reply flag is telnet_state, the last QSY telnet_last_qsy.
#include <QCheckBox>
#include <QHostAddress>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTcpSocket>

#include "net/skimmer_client.h"
#include "ui_mainwindow.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

bool connected(const QTcpSocket* socket) {
  return socket && socket->state() == QAbstractSocket::ConnectedState;
}

// Writes one command unless the client is off, unconnected, or still waiting
// for the reply to the previous one. True when written.
bool write_skimmer_command(MainWindow& w, const std::string& line) {
  if (!w.ui->checkBox_skimmer_enable->isChecked() || !connected(w.telnet_socket)) return false;
  if (!skimmer_take_turn(&w.telnet_state)) return false;
  w.telnet_socket->write(line.c_str());
  w.ui->plainTextEdit_telnet->appendPlainText(QString::fromLatin1(line.c_str()));
  return true;
}

}  // namespace

void MainWindow::on_checkBox_skimmer_enable_clicked(bool checked) {
  if (!checked) {
    if (connected(telnet_socket)) {
      telnet_socket->disconnectFromHost();  // disconnected() then reports it
    } else if (telnet_socket) {
      // Still connecting: without this the connection would come up later
      // with the client switched off.
      telnet_socket->abort();
    }
    return;
  }
  telnet_state = 0;
  if (telnet_socket) {
    // The old connection must not report on the new one (nor uncheck the box).
    telnet_socket->disconnect(this);
    telnet_socket->abort();
    telnet_socket->deleteLater();
  }
  telnet_socket = new QTcpSocket(this);
  connect(telnet_socket, &QTcpSocket::readyRead, this, &MainWindow::telnet_read_data);
  connect(telnet_socket, &QAbstractSocket::errorOccurred, this, &MainWindow::telnetError);
  connect(telnet_socket, &QTcpSocket::connected, this, &MainWindow::telnet_connected);
  connect(telnet_socket, &QTcpSocket::disconnected, this, &MainWindow::telnet_disconnected);
  const uint16_t port = static_cast<uint16_t>(ui->lineEdit_telnet_port->text().toUInt(nullptr, 10));
  telnet_socket->connectToHost(QHostAddress::LocalHost, port, QIODevice::ReadWrite);
}

void MainWindow::telnet_connected() { ui->plainTextEdit_telnet->appendPlainText("\n\rTelnet connected!\n\r"); }

void MainWindow::telnet_disconnected() {
  ui->plainTextEdit_telnet->appendPlainText("Telnet connection was closed!\n\r");
  ui->checkBox_skimmer_enable->setChecked(false);  // clicked() is not emitted
}

void MainWindow::telnetError(QAbstractSocket::SocketError error) {
  ui->plainTextEdit_telnet->appendPlainText(
      QString("Connection Error:  %1\n").arg(static_cast<int>(error), 8));
}

void MainWindow::telnet_read_data() {
  auto* socket = qobject_cast<QTcpSocket*>(sender());
  if (!socket) socket = telnet_socket;
  if (!socket) return;
  const QByteArray chunk = socket->readAll();
  ui->plainTextEdit_telnet->insertPlainText(QString::fromLatin1(chunk.constData()));
  if (holds_login_prompt(chunk.toStdString())) {
    const QByteArray callsign = ui->lineEdit_callsign->text().toLatin1();
    socket->write(skimmer_login(callsign.toStdString()).c_str());
    last_sent_frequency = -1;
  }
  skimmer_reply_seen(&telnet_state);
}

void MainWindow::skimmer_send_lo_freq(int frequency) { write_skimmer_command(*this, skimmer_lo_command(frequency)); }

void MainWindow::skimmer_send_qsy(int frequency) {
  // The poll asks only with "Send QSY frequency" checked; checked here too so
  // that no caller can send one with the box off.
  if (!ui->checkBox_telnet_send_qsy->isChecked()) return;
  if (write_skimmer_command(*this, skimmer_qsy_command(frequency))) telnet_last_qsy = frequency;
}

void MainWindow::on_lineEdit_callsign_returnPressed() {
  settings_store().write_text("callsign", ui->lineEdit_callsign->text());
}

void MainWindow::on_lineEdit_telnet_port_returnPressed() {
  settings_store().write_int("telnet_port", ui->lineEdit_telnet_port->text().toInt(nullptr, 10));
}

void MainWindow::on_checkBox_telnet_send_qsy_clicked(bool checked) {
  settings_store().write_bool("telnet_send_qsy", checked);
}
