// Discovery by the window against the simulated receiver's responder, over a
// veth pair inside the private network namespace (so that a real broadcast
// address exists). Never run on the machine's own network.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTcpServer>
#include <cstdlib>

#include "net/stream_share.h"
#include "net/udp_app.h"
#include "sim/discovery_responder.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"

namespace {

bool in_private_namespace() {
  const char* flag = getenv("WAVEDECK_IN_NAMESPACE");
  return flag && std::string(flag) == "1";
}

// wd0 (10.200.0.1/24, broadcast 10.200.0.255) and its peer wd1, both up.
// Another test of this run may have made them already.
bool make_veth_pair() {
  if (system("ip link show wd0 >/dev/null 2>&1") != 0 &&
      system("ip link add wd0 type veth peer name wd1") != 0)
    return false;
  system("ip addr add 10.200.0.1/24 broadcast 10.200.0.255 dev wd0 2>/dev/null");
  return system("ip link set wd0 up && ip link set wd1 up") == 0;
}

class DiscoveryWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!in_private_namespace())
      GTEST_SKIP() << "discovery broadcasts only inside the private network namespace: "
                      "run through ./test.sh or scripts/in_private_net.sh";
    ASSERT_TRUE(make_veth_pair()) << "cannot make the veth pair wd0/wd1";
    pump_events(200);  // let the link come up
  }

  void respond_with(const std::vector<DiscoveryReplySpec>& replies) {
    ResponderConfig config;
    config.replies = replies;
    responder = std::make_unique<DiscoveryResponder>(config);
    ASSERT_TRUE(responder->start()) << responder->error();
  }

  // The network console without the control connection's error lines: each
  // pass that lists a receiver connects to it, and the listed test addresses
  // do not answer.
  static std::string network_console(const MainWindow& w) {
    QString text = w.widgets()->plainTextEdit_Network->toPlainText();
    text.remove(QRegularExpression("\\nTCP Error: +\\d+\\n"));
    return text.toStdString();
  }

  std::unique_ptr<DiscoveryResponder> responder;
};

DiscoveryReplySpec receiver(const char* name, const char* serial, const char* address, uint16_t port) {
  DiscoveryReplySpec s;
  s.name = name;
  s.serial = serial;
  s.address = address;
  s.port = port;
  return s;
}

const char DISCOVERING[] =
    "[General]\nnetwork_enable_flag=1\nrivulet_discovery=1\nmulti_stream_flag=0\n"
    "udp_port=40000\nsdr_ip_address=127.0.0.9\n";

}  // namespace

TEST_F(DiscoveryWindow, ListsGoodRepliesInOrderAdoptsTheFirstAndDropsTheRest) {
  DiscoveryReplySpec first = receiver("Tavrin-SDR", "TS1", "192.168.0.8", 50000);
  first.in_use = 0x02;
  first.copies = 2;  // a receiver that answers twice is listed once
  DiscoveryReplySpec blank = receiver("Tavrin-SDR ", "TS2", "10.200.0.2", 1);
  DiscoveryReplySpec bad_signature = receiver("Plovex", "PX3", "10.200.0.3", 2);
  bad_signature.bad_signature = true;
  DiscoveryReplySpec truncated = receiver("Plovex", "PX4", "10.200.0.4", 3);
  truncated.length = 60;
  DiscoveryReplySpec second = receiver("TVN480x-SDR", "TV5", "10.200.0.5", 50100);
  second.delay_ms = 100;
  DiscoveryReplySpec late = receiver("Plovex", "PX6", "10.200.0.6", 4);
  late.delay_ms = 3000;
  respond_with({first, blank, bad_signature, truncated, second, late});

  use_settings(DISCOVERING);
  MainWindow w;
  EXPECT_TRUE(pump_until([&] { return w.receiver_count >= 2; }, 2000));
  pump_events(3500);  // past the late reply
  EXPECT_GE(responder->requests_seen(), 1);
  EXPECT_EQ(w.receiver_count, 2);
  // The console shows each "\n\r" line end as two line breaks.
  EXPECT_EQ(network_console(w),
            "(In Use) Tavrin-SDR   SN=TS1   IP=192.168.0.8   Port=50000 \n\n"
            "TVN480x-SDR   SN=TV5   IP=10.200.0.5   Port=50100 \n\n");
  EXPECT_EQ(w.receiver_address, QHostAddress("192.168.0.8"));
  EXPECT_EQ(udp_app().peer_address(), QHostAddress("192.168.0.8"));
  EXPECT_EQ(w.port, 50000);
  EXPECT_FALSE(w.discovery_in_progress);
}

TEST_F(DiscoveryWindow, AdoptedPortIsOffsetForTheWindowsStream) {
  // Streams 1 and 2 are held by two other copies; this window gets stream 3.
  QSharedMemory a(STREAM_SHARE_KEY), b(STREAM_SHARE_KEY);
  StreamLease lease_a, lease_b;
  ASSERT_EQ(claim_shared_stream(a, 1, lease_a).stream_number, 1);
  ASSERT_EQ(claim_shared_stream(b, 1, lease_b).stream_number, 2);
  respond_with({receiver("Plovex", "PX1", "10.200.0.7", 50000)});

  use_settings(
      "[General]\nnetwork_enable_flag=1\nrivulet_discovery=1\nmulti_stream_flag=1\n"
      "udp_port=40000\nsdr_ip_address=127.0.0.9\n");
  {
    MainWindow w;
    EXPECT_EQ(w.stream_number, 3);
    ASSERT_TRUE(pump_until([&] { return w.receiver_count == 1; }, 2000));
    EXPECT_EQ(w.port, 50002);
    EXPECT_EQ(w.receiver_address, QHostAddress("10.200.0.7"));
  }
  release_shared_stream(a, 1, true, lease_a);
  release_shared_stream(b, 2, true, lease_b);
}

TEST_F(DiscoveryWindow, NoReplyLeavesTheStoredAddress) {
  use_settings(DISCOVERING);
  MainWindow w;
  pump_events(2500);
  EXPECT_EQ(w.receiver_count, 0);
  EXPECT_EQ(network_console(w), "");
  EXPECT_EQ(w.receiver_address, QHostAddress("127.0.0.9"));
  EXPECT_FALSE(w.discovery_in_progress);
}

TEST_F(DiscoveryWindow, ControlConnectionGoesToTheAdoptedReceiver) {
  QTcpServer adopted, stored;
  ASSERT_TRUE(adopted.listen(QHostAddress("127.0.0.2"), 50010));
  ASSERT_TRUE(stored.listen(QHostAddress("127.0.0.9"), 40000));
  respond_with({receiver("Tavrin-SDR", "TS7", "127.0.0.2", 50010)});
  use_settings(DISCOVERING);
  MainWindow w;
  EXPECT_TRUE(pump_until([&] { return adopted.hasPendingConnections(); }, 3000));
  EXPECT_FALSE(stored.hasPendingConnections()) << "the stored address was contacted";
}
