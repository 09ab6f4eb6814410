// A control window talking to the simulated HID receiver (tests linked with
// sim_hidapi), and what the receiver got after the window was built.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "sim/hid_sim.h"
#include "support/window_fixture.h"
#include "usb/device_link.h"

using Report = std::vector<uint8_t>;

class ReceiverWindowTest : public ::testing::Test {
 protected:
  // Builds the window with a 7-byte receiver attached (or none).
  void open_window(const std::string& settings = "", bool receiver = true) {
    hid_sim::reset();
    if (receiver) hid_sim::attach(0x255D, 0x0002);
    use_settings(settings);
    window_ = std::make_unique<MainWindow>();
    if (receiver) {
      ASSERT_EQ(hid_status, LINK_HID);
    }
    quiet_status_poll();
    mark();
  }

  void TearDown() override { window_.reset(); }

  // Stops the window's timers: a modal dialog's event loop would otherwise
  // let the status poll run the start-up sequence into the reports a test
  // checks. The poll has tests of its own.
  void quiet_status_poll() {
    for (int id : {window_->timer_20ms, window_->timer_200ms, window_->timer_1000ms}) window_->killTimer(id);
  }

  // Forgets what the receiver got so far.
  void mark() { seen_ = hid_sim::writes().size(); }

  // The reports the receiver got since mark().
  std::vector<Report> sent() {
    const auto writes = hid_sim::writes();
    std::vector<Report> reports;
    for (size_t i = seen_; i < writes.size(); ++i) reports.push_back(writes[i].bytes);
    return reports;
  }

  MainWindow& window() { return *window_; }

  std::unique_ptr<MainWindow> window_;
  size_t seen_ = 0;
};

// Runs `act` on the next modal dialog of kind Dialog once it is open (from
// inside its exec()), so a test can answer a message box or a file chooser.
template <typename Dialog>
void when_dialog_opens(std::function<void(Dialog*)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      act(dialog);
    }
  });
  poll->start(10);
}
