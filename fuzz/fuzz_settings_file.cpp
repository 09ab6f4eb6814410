// A settings file: the input is written as ./sdr_config.ini, the settings
// store reopens it and a control window is built on it (construction reads
// every key the window reads), runs one tick of each status-poll timer, and
// is destroyed (teardown writes its keys back). Runs only inside
// scripts/fuzz.sh's private namespaces: a file can switch network mode on
// and name any receiver address, which the window then connects to.
#include <QCoreApplication>
#include <QTimerEvent>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

void tick(MainWindow& w, int timer_id) {
  QTimerEvent event(timer_id);
  QCoreApplication::sendEvent(&w, &event);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_application();
  fuzz_require_sandbox("fuzz_settings_file");
  fuzz_enter_scratch_dir("settings");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = fopen("sdr_config.ini", "wb");
  if (!file) fuzz_fail("cannot write sdr_config.ini");
  if (size) fwrite(data, 1, size, file);
  fclose(file);
  settings_store().reopen("./sdr_config.ini");
  {
    auto w = std::make_unique<MainWindow>();
    for (int id : {w->timer_20ms, w->timer_200ms, w->timer_1000ms}) w->killTimer(id);
    tick(*w, w->timer_20ms);
    tick(*w, w->timer_200ms);
    tick(*w, w->timer_1000ms);
    FUZZ_CHECK(w->channel >= 0 && w->channel <= 4);
  }
  fuzz_settle_events();
  return 0;
}
