#include "sim/skimmer_server.h"

#include <QHostAddress>

SkimmerServer::SkimmerServer(QObject* parent) : QObject(parent) {
  connect(&server_, &QTcpServer::newConnection, this, &SkimmerServer::accept_client);
}

bool SkimmerServer::listen(uint16_t port) { return server_.listen(QHostAddress::LocalHost, port); }

uint16_t SkimmerServer::port() const { return server_.serverPort(); }

QList<QByteArray> SkimmerServer::lines() const {
  QList<QByteArray> lines;
  int start = 0;
  for (int end; (end = received_.indexOf("\r\n", start)) >= 0; start = end + 2)
    lines << received_.mid(start, end + 2 - start);
  return lines;
}

bool SkimmerServer::client_connected() const {
  return client_ && client_->state() == QAbstractSocket::ConnectedState;
}

void SkimmerServer::send(const QByteArray& text) {
  if (client_) client_->write(text);
}

void SkimmerServer::close_client() {
  if (client_) client_->disconnectFromHost();
}

void SkimmerServer::accept_client() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    if (client_) client_->deleteLater();  // one client at a time: the newest
    client_ = socket;
    ++connections_;
    connect(socket, &QTcpSocket::readyRead, this, &SkimmerServer::read_client);
    socket->write(greeting_);
  }
}

void SkimmerServer::read_client() {
  if (!client_) return;
  received_ += client_->readAll();
  const int complete = lines().size();
  for (; answered_lines_ < complete; ++answered_lines_)
    if (replies_) client_->write("\r\n>");
}
