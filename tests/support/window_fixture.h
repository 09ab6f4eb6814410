// Helpers for tests of the control window linked into the test program.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <memory>
#include <string>

#include "support/fresh_plugin.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

// Replaces ./sdr_config.ini with `text` and makes the store read it afresh.
inline void use_settings(const std::string& text) {
  write_file("sdr_config.ini", text);
  settings_store().reopen("./sdr_config.ini");
}

// The settings file as it is on disk after the store has written it.
inline std::string stored_settings() {
  settings_store().sync();
  return read_file("sdr_config.ini");
}

// Runs the event loop for `ms` milliseconds (timers, queued calls, sockets).
inline void pump_events(int ms) {
  QElapsedTimer timer;
  timer.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (timer.elapsed() < ms);
}

// Runs the event loop until `done()` holds or `ms` pass; returns done().
template <typename Done>
bool pump_until(Done done, int ms = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}
