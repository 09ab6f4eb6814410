// Chunks from the CW skimmer's telnet server through the window's telnet
// read logic (telnet_read_data(): shown up to the first zero byte, scanned
// for the login prompt, which the callsign answers) and the client's command
// lines (net/skimmer_client). The skimmer is a loopback server in this
// process; the window's own client connects to it as the operator's check
// box makes it.
//
// Input: [callsign length] [callsign bytes] [LO frequency, 32 bits]
// [QSY frequency, 32 bits], then chunks [length, 16 bits LE] [bytes],
// each written by the server and read by the window, after which the window
// tries to send the LO and QSY commands.
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/skimmer_client.h"
#include "ui_mainwindow.h"
#include "window/mainwindow.h"

namespace {

constexpr int MAX_CHUNK = 4096;

QTcpServer* server = nullptr;
QTcpSocket* skimmer = nullptr;  // the server's end of the connection

bool window_connected(MainWindow& w) {
  return w.telnet_socket && w.telnet_socket->state() == QAbstractSocket::ConnectedState;
}

// Connects the window's client the way the operator does: port field, box.
void connect_client(MainWindow& w) {
  if (skimmer) skimmer->deleteLater();
  skimmer = nullptr;
  w.ui->lineEdit_telnet_port->setText(QString::number(server->serverPort()));
  if (w.ui->checkBox_skimmer_enable->isChecked()) w.ui->checkBox_skimmer_enable->click();
  w.ui->checkBox_skimmer_enable->click();
  QElapsedTimer timer;
  timer.start();
  while ((!skimmer || !window_connected(w)) && timer.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!skimmer && server->hasPendingConnections()) skimmer = server->nextPendingConnection();
  }
  if (!skimmer || !window_connected(w)) fuzz_fail("the window's telnet client did not connect");
}

void check_commands_alone(const std::string& chunk, const std::string& callsign, int32_t lo, int32_t qsy) {
  holds_login_prompt(chunk);
  FUZZ_CHECK(skimmer_lo_command(lo).size() < SKIMMER_COMMAND_BYTES);
  FUZZ_CHECK(skimmer_qsy_command(qsy).size() < SKIMMER_COMMAND_BYTES);
  FUZZ_CHECK(skimmer_login(callsign).size() == callsign.size() + 2);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_application();
  fuzz_require_sandbox("fuzz_telnet_chunk");
  fuzz_enter_scratch_dir("telnet");
  MainWindow& w = fuzz_window();
  server = new QTcpServer(&w);
  if (!server->listen(QHostAddress::LocalHost, 0)) fuzz_fail("no loopback server");
  connect_client(w);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MainWindow& w = fuzz_window();
  if (!window_connected(w) || !skimmer || skimmer->state() != QAbstractSocket::ConnectedState) connect_client(w);
  FuzzBytes in(data, size);
  size_t callsign_length = 0;
  const uint8_t* callsign_bytes = in.take(in.u8() % 40, &callsign_length);
  const std::string callsign(reinterpret_cast<const char*>(callsign_bytes), callsign_length);
  w.ui->lineEdit_callsign->setText(QString::fromLatin1(callsign.data(), int(callsign.size())));
  const int32_t lo = int32_t(in.u32());
  const int32_t qsy = int32_t(in.u32());
  w.ui->checkBox_telnet_send_qsy->setChecked(true);
  w.ui->plainTextEdit_telnet->clear();

  int chunks = 0;
  while (in.left() > 0 && chunks++ < 16) {
    size_t length = 0;
    const uint8_t* chunk = in.take(in.u16() % (MAX_CHUNK + 1), &length);
    if (length == 0) continue;  // nothing to read: no readyRead
    check_commands_alone(std::string(reinterpret_cast<const char*>(chunk), length), callsign, lo, qsy);
    skimmer->write(reinterpret_cast<const char*>(chunk), qint64(length));
    skimmer->flush();
    // The window's client reads what has arrived and runs its slot.
    QElapsedTimer timer;
    timer.start();
    while (w.telnet_socket->bytesAvailable() == 0 && timer.elapsed() < 2000) {
      if (w.telnet_socket->waitForReadyRead(100)) break;
    }
    FUZZ_CHECK(w.telnet_state == 0);
    w.skimmer_send_lo_freq(lo);
    w.skimmer_send_qsy(qsy);
    skimmer->waitForReadyRead(0);
    skimmer->readAll();  // what the window wrote: the login, commands
  }
  fuzz_settle_events();
  skimmer->readAll();
  return 0;
}
