// The window as an ordinary program: dll_main and EntryPoint run it on the
// caller's thread, and closing it ends the program with the loop's exit code
// after the window's teardown has stored the session.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include "support/fresh_plugin.h"

namespace {

// Runs as the application object is made: closes every window soon after.
void close_windows_soon() {
  QTimer::singleShot(500, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) w->close();
  });
}

bool holds(const std::string& ini, const char* line) { return ini.find(line) != std::string::npos; }

}  // namespace

TEST(Standalone, DllMainRunsTheWindowUntilItIsClosed) {
  FreshPlugin plugin("[General]\nrx_channel_number=2\nrf_gain=40\n");
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  auto dll_main = reinterpret_cast<int (*)(int, char**)>(find_plugin_symbol(plugin.api, "dll_main"));
  ASSERT_NE(dll_main, nullptr);
  qAddPreRoutine(close_windows_soon);
  EXPECT_EQ(dll_main(0, nullptr), 0);
  EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the application object is gone";
  const std::string ini = read_file(plugin.dir + "/sdr_config.ini");
  for (const char* line : {"rx_channel_number=0", "rf_gain=40", "rf_gain_ch2=32", "diversity_mode=0",
                           "hid_status=0", "inversion_flag=1", "sdr_sample_rate=249999"})
    EXPECT_TRUE(holds(ini, line)) << line << " missing from\n" << ini;
}

TEST(Standalone, EntryPointOpensTheWindowAsTheLauncherDoes) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  auto entry = reinterpret_cast<int (*)(void*, void*, const char*, int)>(
      find_plugin_symbol(plugin.api, "EntryPoint"));
  ASSERT_NE(entry, nullptr);
  qAddPreRoutine(close_windows_soon);
  EXPECT_EQ(entry(nullptr, nullptr, "ignored", 1), 0);
  EXPECT_TRUE(holds(read_file(plugin.dir + "/sdr_config.ini"), "fe_gain=0"));
}
