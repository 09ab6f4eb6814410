// A simulated CW skimmer telnet server on 127.0.0.1, run by the caller's
// event loop: it greets each client with the login prompt, records what the
// client writes, answers every complete line (unless told to keep quiet) and
// can close the connection.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdint>

class SkimmerServer : public QObject {
  Q_OBJECT

 public:
  explicit SkimmerServer(QObject* parent = nullptr);

  // Listens on 127.0.0.1 (port 0: any free port).
  bool listen(uint16_t port = 0);
  uint16_t port() const;

  // Sent to each new client at once.
  void set_greeting(const QByteArray& text) { greeting_ = text; }
  // Whether each complete line received is answered.
  void set_replies(bool on) { replies_ = on; }

  // Everything the client wrote, and the same cut after each CR LF.
  QByteArray received() const { return received_; }
  QList<QByteArray> lines() const;
  int connections() const { return connections_; }
  bool client_connected() const;

  void send(const QByteArray& text);
  void close_client();

 private:
  void accept_client();
  void read_client();

  QTcpServer server_;
  QPointer<QTcpSocket> client_;
  QByteArray greeting_ = "\r\nCW Skimmer Server\r\nPlease enter your callsign: ";
  QByteArray received_;
  int answered_lines_ = 0;
  int connections_ = 0;
  bool replies_ = true;
};
