#include <gtest/gtest.h>

#include <QFile>
#include <thread>

#include "support/fresh_plugin.h"
#include "window/settings_store.h"

namespace {

struct Store : ::testing::Test {
  std::string dir = make_scratch_dir("settings");
  QString path = QString::fromStdString(dir + "/sdr_config.ini");
};

}  // namespace

TEST_F(Store, AbsentFileReadsDefaultsAndReportsKeysMissing) {
  SettingsStore store(path);
  EXPECT_TRUE(store.is_missing("udp_port"));
  EXPECT_EQ(store.read_int("frequency_ch1", 28050000), 28050000);
  EXPECT_EQ(store.read_unsigned("sdr_sample_rate", 0), 0u);
  EXPECT_EQ(store.read_text("sdr_path", "H:/"), "H:/");
  EXPECT_FALSE(store.read_bool("telnet_send_qsy", false));
}

TEST_F(Store, InversionKeysTakeZeroAsPlusOne) {
  write_file(dir + "/sdr_config.ini", "[General]\ninversion_flag=0\nalias_inversion_flag=-1\n");
  SettingsStore store(path);
  EXPECT_EQ(store.read_sign("inversion_flag"), 1);
  EXPECT_EQ(store.read_sign("alias_inversion_flag"), -1);
  EXPECT_EQ(store.read_sign("never_written"), 1);
}

TEST_F(Store, ValuesSurviveTheFileInTheFormsTheyAreReadIn) {
  {
    SettingsStore store(path);
    store.write_int("telnet_port", 7300);        // written as a number ...
    store.write_text("sdr_ip_address", "192.168.0.8");
    store.write_int("sdr_vco_voltage", -5);      // a negative int ...
    store.write_bool("telnet_send_qsy", true);
    store.write_text("scan_band10", "50313");
  }  // destruction writes the file
  SettingsStore store(path);
  EXPECT_EQ(store.read_text("telnet_port", "7300"), "7300");  // ... read as text
  EXPECT_EQ(store.read_int("telnet_port", 0), 7300);
  EXPECT_EQ(store.read_text("sdr_ip_address"), "192.168.0.8");
  EXPECT_EQ(store.read_int("sdr_vco_voltage", 0), -5);
  EXPECT_EQ(store.read_unsigned("sdr_vco_voltage", 0), static_cast<unsigned>(-5));  // ... read unsigned
  EXPECT_TRUE(store.read_bool("telnet_send_qsy", false));
  EXPECT_EQ(store.read_int("scan_band10", 0), 50313);
  EXPECT_FALSE(store.is_missing("scan_band10"));
}

TEST_F(Store, TextThatIsNoNumberReadsAsZero) {
  write_file(dir + "/sdr_config.ini", "[General]\nudp_port=abc\nrf_gain=\n");
  SettingsStore store(path);
  EXPECT_EQ(store.read_unsigned("udp_port", 50000), 0u);
  EXPECT_EQ(store.read_int("udp_port", 50000), 0);
}

TEST_F(Store, ConcurrentReadersAndWritersDoNotCorruptTheStore) {
  SettingsStore store(path);
  std::thread host([&] {
    for (int i = 0; i < 3000; ++i) {
      store.read_text("sdr_path", "H:/");
      store.read_int("network_enable_flag", 0);
    }
  });
  std::thread gui([&] {
    for (int i = 0; i < 3000; ++i) {
      store.write_int("frequency_ch1", i);
      store.write_text("sdr_path", QString("/media/sdr%1/").arg(i % 7));
      if (i % 500 == 0) store.sync();
    }
  });
  host.join();
  gui.join();
  store.sync();
  SettingsStore reread(path);
  EXPECT_EQ(reread.read_int("frequency_ch1", -1), 2999);
  EXPECT_EQ(reread.read_text("sdr_path"), "/media/sdr3/");
}
