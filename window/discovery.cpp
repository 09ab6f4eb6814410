// Finding the receiver on the local network: one broadcast request on every
// interface, replies listed for 2250 ms in the network console, the first
// receiver that answered adopted as the target of the control connection and
// of the sample stream. The reply checks live in net/discovery.
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QUdpSocket>

#include "net/discovery.h"
#include "net/udp_app.h"
#include "ui_mainwindow.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

static_assert(RECEIVER_RECORD_BYTES == DISCOVERY_RECORD_BYTES, "a listed receiver is one reply record");
static_assert(MAX_LISTED_RECEIVERS == DISCOVERY_MAX_RECEIVERS, "the list holds 32 receivers");

void MainWindow::discovery_start() {
  discovery_socket = new QUdpSocket(this);
  connect(discovery_socket, &QUdpSocket::readyRead, this, &MainWindow::ReadUDPMessages);
  discovery_in_progress = 0;
  SendDiscoverRequest();
}

void MainWindow::SendDiscoverRequest() {
  const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
  const auto request = discovery_request();
  if (!discovery_in_progress) {
    discovery_socket->bind(QHostAddress::Any, DISCOVERY_REPLY_PORT);  // a failure just means no replies
    discovery_in_progress = 1;
  }
  // Entries without a broadcast address (loopback, IPv6) are tried too; the
  // send fails for them.
  for (const QNetworkInterface& interface : interfaces)
    for (const QNetworkAddressEntry& entry : interface.addressEntries())
      discovery_send_socket->writeDatagram(reinterpret_cast<const char*>(request.data()),
                                           DISCOVERY_REQUEST_BYTES, entry.broadcast(),
                                           DISCOVERY_REQUEST_PORT);
  QTimer::singleShot(DISCOVERY_LISTEN_MS, this, &MainWindow::CloseUdp);
}

void MainWindow::CloseUdp() {
  if (!discovery_in_progress) return;
  discovery_socket->close();
  discovery_in_progress = 0;
}

// A receiver already listed under the same serial number answers again
// (several interfaces reach it, or it repeats itself): listed once.
bool MainWindow::discovery_serial_listed(const uint8_t* reply) const {
  const QString serial = discovery_serial(reply);
  for (int i = 0; i < receiver_count; ++i)
    if (discovery_serial(receiver_list[i]) == serial) return true;
  return false;
}

void MainWindow::ReadUDPMessages() {
  uint8_t buffer[DISCOVERY_RECEIVE_BUFFER_BYTES];
  while (discovery_socket->hasPendingDatagrams()) {
    const qint64 got = discovery_socket->readDatagram(reinterpret_cast<char*>(buffer), sizeof buffer);
    const int length = got > 0 ? int(got) : 0;
    if (receiver_count >= MAX_LISTED_RECEIVERS) continue;
    if (check_discovery_reply(buffer, length) != ReplyCheck::accepted) continue;
    if (discovery_serial_listed(buffer)) continue;
    store_discovery_record(receiver_list[receiver_count], buffer, length);
    ui->plainTextEdit_Network->insertPlainText(
        discovery_listing_line(decode_discovery_record(receiver_list[receiver_count])));
    ++receiver_count;
  }
  if (receiver_count < 1) return;
  const DiscoveredReceiver first = decode_discovery_record(receiver_list[0]);
  port = stream_port(first.port, stream_number);
  udp_app().set_port(port);
  receiver_address = QHostAddress(first.ipv4);
  udp_app().set_peer_address(receiver_address);
  tcp_connect();
}

void MainWindow::on_checkBox_automatic_discovery_clicked(bool checked) {
  auto_discovery = checked ? 1 : 0;
  settings_store().write_int("rivulet_discovery", auto_discovery);
}
