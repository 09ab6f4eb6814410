// Discovery replies through ReadUDPMessages(): the checks and decoding of
// net/discovery (signature, accepted names, the record, the listing line),
// the list of receivers and the adoption of the first one, on the control
// window. The replies arrive on a loopback socket that stands in for the
// window's discovery socket, and the slot reads them as it reads real ones.
//
// Input: one byte of window state (stream number), then datagrams
//   [length, 16 bits LE] [length bytes]
// all sent before the slot runs (at most 40, so that the 32-receiver limit
// is reached). Runs only inside scripts/fuzz.sh's private namespaces: the
// window connects to whatever address the first reply names.
#include <QHostAddress>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QUdpSocket>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "net/discovery.h"
#include "ui_mainwindow.h"
#include "window/mainwindow.h"

namespace {

constexpr int MAX_DATAGRAM = 4096;
constexpr int MAX_DATAGRAMS = 40;

QUdpSocket* replies = nullptr;  // the window's discovery socket
QUdpSocket* sender = nullptr;

// What the widget-free code makes of one datagram.
// It reads the fuzzer's own bytes, so that a read past the datagram shows.
void check_alone(const uint8_t* datagram, int length) {
  if (check_discovery_reply(datagram, length) != ReplyCheck::accepted) return;
  uint8_t record[DISCOVERY_RECORD_BYTES];
  store_discovery_record(record, datagram, length);
  const DiscoveredReceiver r = decode_discovery_record(record);
  FUZZ_CHECK(!discovery_listing_line(r).isEmpty());
  discovery_serial(datagram);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_application();
  fuzz_require_sandbox("fuzz_discovery_reply");
  fuzz_enter_scratch_dir("discovery");
  MainWindow& w = fuzz_window();
  replies = new QUdpSocket(&w);
  sender = new QUdpSocket(&w);
  if (!replies->bind(QHostAddress(QHostAddress::LocalHost), 0)) fuzz_fail("no loopback socket");
  replies->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
  w.discovery_socket = replies;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MainWindow& w = fuzz_window();
  FuzzBytes in(data, size);
  w.stream_number = in.u8() % 6;  // 5 is a number no window takes
  w.receiver_count = 0;
  memset(w.receiver_list, 0, sizeof w.receiver_list);
  w.ui->plainTextEdit_Network->clear();
  char drain[1];
  while (replies->hasPendingDatagrams()) replies->readDatagram(drain, sizeof drain);

  int sent = 0;
  while (in.left() > 0 && sent < MAX_DATAGRAMS) {
    size_t length = 0;
    const uint8_t* datagram = in.take(in.u16() % (MAX_DATAGRAM + 1), &length);
    check_alone(datagram, int(length));
    if (sender->writeDatagram(reinterpret_cast<const char*>(datagram), qint64(length), QHostAddress::LocalHost,
                              replies->localPort()) == qint64(length))
      ++sent;
  }
  QMetaObject::invokeMethod(&w, "ReadUDPMessages", Qt::DirectConnection);
  FUZZ_CHECK(w.receiver_count >= 0 && w.receiver_count <= MAX_LISTED_RECEIVERS);
  fuzz_settle_events();
  return 0;
}
