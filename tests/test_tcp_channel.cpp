// The TCP control channel against the simulated receiver's control server on
// 127.0.0.2: exact bytes of the items, one message in flight, the newest
// pending message wins, replies and the busy watchdog, and the window's error
// line.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTcpSocket>
#include <cstring>
#include <vector>

#include "net/tcp_channel.h"
#include "sim/tcp_control_server.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"
#include "usb/device_link.h"

namespace {

using Bytes = std::vector<uint8_t>;

class TcpChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    use_settings("");
    window_ = std::make_unique<MainWindow>();  // USB mode: the poll leaves the channel alone
    ControlServerConfig config;
    config.port = 0;
    server_ = std::make_unique<TcpControlServer>(config);
    ASSERT_TRUE(server_->start()) << server_->error();
    tcp_send(nullptr, 1);  // nothing pending
    tcp_clear_busy();
    memset(tunnel_answer_slot, 0, sizeof tunnel_answer_slot);
  }
  void TearDown() override {
    tcp_register_socket(nullptr);
    socket_.reset();
    server_->stop();
    window_.reset();
  }

  // A connected socket registered with the channel; replies go to the
  // channel as readTCPdata() hands them over.
  void connect_socket() {
    socket_ = std::make_unique<QTcpSocket>();
    QObject::connect(socket_.get(), &QTcpSocket::readyRead, [this] {
      const QByteArray chunk = socket_->readAll();
      tcp_take_received(reinterpret_cast<const unsigned char*>(chunk.constData()), chunk.size());
    });
    socket_->connectToHost(QHostAddress("127.0.0.2"), server_->port());
    ASSERT_TRUE(socket_->waitForConnected(2000));
    tcp_register_socket(socket_.get());
  }

  bool received(size_t count) {
    return server_->wait_for([count](const auto& m) { return m.size() >= count; }, 2000);
  }

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<TcpControlServer> server_;
  std::unique_ptr<QTcpSocket> socket_;
};

struct ItemCase {
  const char* name;
  void (*send)();
  Bytes bytes;
};

TEST_F(TcpChannelTest, ItemMessagesCarryTheirExactBytes) {
  const ItemCase cases[] = {
      {"sample rate 2000000", [] { tcp_send_sample_rate(2000000); },
       {0x09, 0x00, 0xB8, 0x00, 0x00, 0x80, 0x84, 0x1E, 0x00}},
      {"frequency 7040000 ch 0", [] { tcp_send_frequency(7040000, 0); },
       {0x0A, 0x00, 0x20, 0x00, 0x00, 0x00, 0x6C, 0x6B, 0x00, 0x00}},
      {"run state 2", [] { tcp_send_run_state(2); }, {0x08, 0x00, 0x18, 0x00, 0x80, 0x02, 0x00, 0x00}},
      {"packet size 1", [] { tcp_send_packet_size(1); }, {0x05, 0x00, 0xC4, 0x00, 0x01}},
  };
  ASSERT_NO_FATAL_FAILURE(connect_socket());
  size_t n = 0;
  for (const ItemCase& c : cases) {
    c.send();
    ASSERT_TRUE(received(++n)) << c.name;
    EXPECT_EQ(server_->messages()[n - 1], c.bytes) << c.name;
    ASSERT_TRUE(pump_until([] { return !tcp_is_busy(); })) << c.name << ": the acknowledgement clears busy";
  }
}

TEST_F(TcpChannelTest, WhileBusyOnlyTheNewestMessageGoesOutOnTheFirstIdleTick) {
  server_->set_silent(true);
  ASSERT_NO_FATAL_FAILURE(connect_socket());
  tcp_send_frequency(1000000, 0);
  ASSERT_TRUE(received(1));
  EXPECT_TRUE(tcp_is_busy());
  tcp_send_frequency(2000000, 0);
  tcp_send_frequency(3000000, 0);
  int ticks = 0;
  EXPECT_FALSE(tcp_poll_service(socket_.get(), &ticks)) << "a busy channel ends the tick";
  pump_events(100);
  EXPECT_EQ(server_->messages().size(), 1u) << "nothing more while busy";
  server_->send_raw({0x04, 0x00, 0x20, 0x00});
  ASSERT_TRUE(pump_until([] { return !tcp_is_busy(); }));
  EXPECT_TRUE(tcp_poll_service(socket_.get(), &ticks));
  ASSERT_TRUE(received(2));
  pump_events(100);
  const auto messages = server_->messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], (Bytes{0x0A, 0x00, 0x20, 0x00, 0x00, 0xC0, 0xC6, 0x2D, 0x00, 0x00}));
}

TEST_F(TcpChannelTest, AMessageBeforeTheConnectionGoesOutAtTheFirstIdleTickAfterIt) {
  tcp_send_run_state(2);
  EXPECT_EQ(tcp_pending(nullptr), 8);
  ASSERT_NO_FATAL_FAILURE(connect_socket());
  int ticks = 0;
  EXPECT_TRUE(tcp_poll_service(socket_.get(), &ticks));
  ASSERT_TRUE(received(1));
  EXPECT_EQ(server_->messages()[0], (Bytes{0x08, 0x00, 0x18, 0x00, 0x80, 0x02, 0x00, 0x00}));
  EXPECT_EQ(tcp_pending(nullptr), 0);
}

TEST_F(TcpChannelTest, RepliesClearBusyAndOnlyTunnelAnswersFillTheSlot) {
  server_->set_silent(true);
  ASSERT_NO_FATAL_FAILURE(connect_socket());
  tcp_send_packet_size(0);
  ASSERT_TRUE(received(1));
  server_->send_raw({0x01});
  ASSERT_TRUE(pump_until([] { return !tcp_is_busy(); })) << "a one-byte reply clears busy";
  EXPECT_EQ(tunnel_answer_slot[0], 0) << "and leaves the slot untouched";

  const Bytes answer = {0x09, 0xE0, 0x06, 0x09, 0x23, 0x05, 0x00, 0x00, 0x00};
  server_->send_raw(answer);
  ASSERT_TRUE(pump_until([] { return tunnel_answer_slot[0] != 0; }));
  EXPECT_EQ(Bytes(tunnel_answer_slot, tunnel_answer_slot + 9), answer);
  EXPECT_EQ(tunnel_answer_slot[9], 0);

  Bytes long_chunk(40, 0xEE);
  long_chunk[0] = 40;
  long_chunk[1] = 0xE0;
  tcp_take_received(long_chunk.data(), static_cast<int>(long_chunk.size()));
  EXPECT_EQ(Bytes(tunnel_answer_slot, tunnel_answer_slot + 32), Bytes(long_chunk.begin(), long_chunk.begin() + 32))
      << "cut to 32 bytes";
}

TEST_F(TcpChannelTest, ASilentReceiverIsReleasedOnThe102ndBusyTick) {
  server_->set_silent(true);
  ASSERT_NO_FATAL_FAILURE(connect_socket());
  tcp_send_run_state(1);
  ASSERT_TRUE(received(1));
  int ticks = 0;
  for (int i = 1; i <= 101; ++i) ASSERT_FALSE(tcp_poll_service(socket_.get(), &ticks)) << "tick " << i;
  EXPECT_TRUE(tcp_is_busy());
  EXPECT_FALSE(tcp_poll_service(socket_.get(), &ticks)) << "the releasing tick still ends the tick";
  EXPECT_FALSE(tcp_is_busy());
  EXPECT_EQ(ticks, 0) << "the counter starts again";
}

TEST_F(TcpChannelTest, AnUnconnectedSocketKeepsTheChannelIdleAndTheMessagePending) {
  QTcpSocket unconnected;
  tcp_register_socket(&unconnected);
  tcp_send_sample_rate(48000);
  int ticks = 0;
  EXPECT_TRUE(tcp_poll_service(&unconnected, &ticks));
  EXPECT_FALSE(tcp_is_busy());
  EXPECT_EQ(tcp_pending(nullptr), 9);
}

TEST_F(TcpChannelTest, AnUnboundChannelTransmitsNothing) {
  ASSERT_NO_FATAL_FAILURE(connect_socket());
  tcp_bind_window(nullptr);
  tcp_send_run_state(2);
  int ticks = 0;
  tcp_poll_service(socket_.get(), &ticks);
  pump_events(100);
  EXPECT_TRUE(server_->messages().empty());
  EXPECT_EQ(tcp_pending(nullptr), 8);
  tcp_bind_window(window_.get());
}

TEST_F(TcpChannelTest, TheErrorLineRightAlignsTheCodeInEight) {
  QMetaObject::invokeMethod(window_.get(), "displayError", Qt::DirectConnection,
                            Q_ARG(QAbstractSocket::SocketError, QAbstractSocket::ConnectionRefusedError));
  QMetaObject::invokeMethod(window_.get(), "displayError", Qt::DirectConnection,
                            Q_ARG(QAbstractSocket::SocketError, QAbstractSocket::RemoteHostClosedError));
  EXPECT_EQ(window_->widgets()->plainTextEdit_Network->toPlainText(),
            QString("TCP Error:         0\n\nTCP Error:         1\n"));
}

}  // namespace
