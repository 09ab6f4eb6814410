// main() for tests of the control window linked straight into the test: a
// scratch working directory of its own (the settings file lives there) and
// an offscreen application.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>

#include "support/fresh_plugin.h"
#include "window/settings_store.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::string dir = make_scratch_dir("window");
  if (chdir(dir.c_str()) != 0) return 2;
  settings_store().reopen("./sdr_config.ini");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
