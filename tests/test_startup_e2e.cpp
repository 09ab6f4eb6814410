// The receiver start-up sequence end to end, through the plug-in loaded by
// dlopen with its window on its own GUI thread (offscreen): against the
// simulated network receiver on 127.0.0.2, a simulated HID receiver (this
// program exports hid_open and the rest, which the plug-in's references to
// hidapi reach) and the simulated mass-storage drive.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <mutex>
#include <vector>

#include "sim/hid_sim.h"
#include "sim/msd_drive.h"
#include "sim/tcp_control_server.h"
#include "support/fresh_plugin.h"
#include "test_usb_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::mutex status_lock;
std::vector<int> statuses;
void record_status(int count, int status, float, void*) {
  if (count >= 0) return;
  std::lock_guard<std::mutex> hold(status_lock);
  statuses.push_back(status);
}
bool host_saw(int status) {
  std::lock_guard<std::mutex> hold(status_lock);
  return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
}

// The texts of the About page, read on the plug-in's GUI thread.
struct About {
  QString firmware, serial, hw, clock;
};
About read_about() {
  About about;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return about;
  QMetaObject::invokeMethod(
      app,
      [&about] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
          if (!w->inherits("MainWindow")) continue;
          auto text = [w](const char* name) {
            QLabel* label = w->findChild<QLabel*>(name);
            return label ? label->text() : QString();
          };
          about = {text("label_6"), text("label_Serial_Number_2"), text("label_hw_cpld_sn"), text("label_11")};
        }
      },
      Qt::BlockingQueuedConnection);
  return about;
}

void expect_about_page() {
  const About about = read_about();
  EXPECT_EQ(about.firmware, "FirmWare Verision: 0523");
  EXPECT_EQ(about.serial, "20230519");
  EXPECT_EQ(about.hw, "HW/CPLD version: 00010002\n\r");
  EXPECT_EQ(about.clock, "FrontEnd Main Clock Frequency:  80000000(Hz)");
}

bool wait_until(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    QThread::msleep(20);
  }
  return done();
}

void open_plugin(FreshPlugin& plugin) {
  statuses.clear();
  plugin.api.SetCallback(record_status);
  char name[256] = {}, model[256] = {};
  int type = 0;
  plugin.api.InitHW(name, model, &type);
  ASSERT_TRUE(plugin.api.OpenHW());
}

void close_plugin(FreshPlugin& plugin) {
  plugin.api.CloseHW();
  for (int i = 0; i < 50 && QCoreApplication::instance(); ++i) QThread::msleep(100);
}

// The command codes of report-id-2 commands in order; 3 stands for a tuning
// report.
std::vector<int> command_codes(const std::vector<Bytes>& reports) {
  std::vector<int> codes;
  for (const Bytes& r : reports) {
    if (r.empty()) continue;
    if (r[0] == 2 && r.size() > 1) codes.push_back(r[1]);
    else if (r[0] == 3) codes.push_back(0x300);
  }
  return codes;
}

int index_of(const std::vector<int>& codes, int code) {
  const auto at = std::find(codes.begin(), codes.end(), code);
  return at == codes.end() ? -1 : static_cast<int>(at - codes.begin());
}

constexpr int TUNING = 0x300;

TEST(StartupEndToEnd, NetworkReceiverThroughThePlugin) {
  ControlServerConfig config;
  config.port = 0;
  TcpControlServer server(config);
  ASSERT_TRUE(server.start()) << server.error();
  FreshPlugin plugin("[General]\nnetwork_enable_flag=1\nsdr_ip_address=127.0.0.2\nudp_port=" +
                     std::to_string(server.port()) + "\nsdr_sample_rate=1000000\nfrequency_ch1=7050000\n");
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  ASSERT_NO_FATAL_FAILURE(open_plugin(plugin));
  auto is_frequency_item = [](const Bytes& m) { return m.size() == 10 && m[1] == 0 && m[2] == 0x20; };
  const bool tuned = server.wait_for(
      [&](const std::vector<Bytes>& ms) { return std::any_of(ms.begin(), ms.end(), is_frequency_item); }, 10000);
  const std::vector<Bytes> ms = server.messages();
  ASSERT_TRUE(tuned) << ms.size() << " messages taken";
  EXPECT_EQ(ms[0], (Bytes{0x09, 0xE0, 0x02, 0x04, 0xFB, 0x00, 0x00, 0x00, 0x00}));
  std::vector<Bytes> reports;
  for (const Bytes& m : ms)
    reports.push_back(m[1] == 0xE0 ? Bytes(m.begin() + 2, m.end()) : Bytes{});
  const std::vector<int> codes = command_codes(reports);
  for (int skipped : {0x10, 0x11, 0x12, 0x14}) EXPECT_EQ(index_of(codes, skipped), -1) << "steps 7 to 10 collapse";
  const auto rate = std::find(ms.begin(), ms.end(), Bytes{0x09, 0x00, 0xB8, 0x00, 0x00, 0x40, 0x42, 0x0F, 0x00});
  const auto frequency = std::find_if(ms.begin(), ms.end(), is_frequency_item);
  EXPECT_NE(rate, ms.end()) << "the stored sample rate as an item";
  EXPECT_GT(frequency - ms.begin(), index_of(codes, 0x5B)) << "the frequency follows the sequence";
  EXPECT_EQ((*frequency)[6] | ((*frequency)[7] << 8) | ((*frequency)[8] << 16), 7050000 >> 8);
  EXPECT_TRUE(wait_until([] { return host_saw(100); }, 1000)) << "status 100 reached the host";
  EXPECT_EQ(plugin.api.GetHWSR(), 1000000);
  expect_about_page();
  close_plugin(plugin);
  server.stop();
}

TEST(StartupEndToEnd, HidReceiverThroughThePlugin) {
  hid_sim::reset();
  hid_sim::attach(0x255D, 0x0002);
  FreshPlugin plugin("[General]\nfrequency_ch1=7050000\n");
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  ASSERT_NO_FATAL_FAILURE(open_plugin(plugin));
  auto codes = [] {
    std::vector<Bytes> reports;
    for (const hid_sim::Write& w : hid_sim::writes()) reports.push_back(w.bytes);
    return command_codes(reports);
  };
  ASSERT_TRUE(wait_until([&] { return index_of(codes(), TUNING) >= 0; }, 10000))
      << codes().size() << " commands written";
  const std::vector<int> seen = codes();
  EXPECT_EQ(seen[0], 0x04) << "front-end status first";
  for (int asked : {0x10, 0x11, 0x12, 0x14, 0x0E, 0x5B}) EXPECT_GE(index_of(seen, asked), 0) << asked;
  EXPECT_EQ(index_of(seen, 0x48), -1) << "no stream number over HID";
  EXPECT_GT(index_of(seen, TUNING), index_of(seen, 0x5B));
  EXPECT_TRUE(wait_until([] { return host_saw(100); }, 1000)) << "the answer 14 reached the host";
  EXPECT_EQ(plugin.api.GetHWSR(), 312500) << "the rate the receiver reported";
  expect_about_page();
  close_plugin(plugin);
}

TEST(StartupEndToEnd, MassStorageReceiverThroughThePlugin) {
  SKIP_WITHOUT_FUSE();
  hid_sim::reset();
  const std::string mount_point = make_scratch_dir("startup-drive") + "/drive";
  MsdDrive drive;
  std::string error;
  ASSERT_TRUE(drive.mount(mount_point, &error)) << error;
  {
    FreshPlugin plugin("[General]\nsdr_path=" + mount_point + "/\nsdr_sample_rate=1000000\nfrequency_ch1=7050000\n");
    ASSERT_TRUE(plugin.loaded) << plugin.error;
    ASSERT_NO_FATAL_FAILURE(open_plugin(plugin));
    ASSERT_TRUE(wait_until([&] { return index_of(command_codes(drive.commands()), TUNING) >= 0; }, 10000))
        << drive.commands().size() << " commands written";
    const std::vector<Bytes> commands = drive.commands();
    const std::vector<int> seen = command_codes(commands);
    EXPECT_EQ(seen[0], 0x04);
    for (int asked : {0x10, 0x11, 0x12, 0x14, 0x48, 0x5B}) EXPECT_GE(index_of(seen, asked), 0) << asked;
    EXPECT_EQ(index_of(seen, 0x0E), -1) << "the rate is set, not asked";
    EXPECT_NE(std::find(commands.begin(), commands.end(), Bytes{2, 0x1E, 0x40, 0x42, 0x0F, 0x00, 0x00}),
              commands.end())
        << "the stored sample rate by command";
    EXPECT_GT(index_of(seen, TUNING), index_of(seen, 0x5B));
    EXPECT_EQ(plugin.api.GetHWSR(), 1000000);
    expect_about_page();
    close_plugin(plugin);
  }
  drive.unmount();
}

}  // namespace
