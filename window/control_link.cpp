// The TCP control connection to a network receiver: connecting,
// and the three slots of the control socket. The channel itself (pending
// message, busy flag, framing) is net/tcp_channel.
#include <QPlainTextEdit>
#include <QTcpSocket>

#include "net/tcp_channel.h"
#include "ui_mainwindow.h"
#include "window/mainwindow.h"

void MainWindow::tcp_connect() {
  link_state = 0;
  if (control_socket) {
    // Released later: this may run inside a slot of the old socket's signals.
    control_socket->disconnect(this);
    control_socket->abort();
    control_socket->deleteLater();
  }
  control_socket = new QTcpSocket(this);
  connect(control_socket, &QTcpSocket::readyRead, this, &MainWindow::readTCPdata);
  connect(control_socket, &QAbstractSocket::errorOccurred, this,
          &MainWindow::displayError);
  connect(control_socket, &QTcpSocket::connected, this, &MainWindow::TCP_connected);
  control_socket->connectToHost(receiver_address, port, QIODevice::ReadWrite);
}

void MainWindow::TCP_connected() {
  link_state = 3;
  ui->plainTextEdit_Network->insertPlainText("TCP socket connected!\n\r");
  tcp_register_socket(control_socket);
}

void MainWindow::displayError(QAbstractSocket::SocketError error) {
  ui->plainTextEdit_Network->appendPlainText(QString("TCP Error:  %1\n").arg(static_cast<int>(error), 8));
}

void MainWindow::readTCPdata() {
  auto* socket = qobject_cast<QTcpSocket*>(sender());
  if (!socket) socket = control_socket;
  if (!socket) return;
  const QByteArray chunk = socket->readAll();
  tcp_take_received(reinterpret_cast<const unsigned char*>(chunk.constData()), chunk.size());
}
