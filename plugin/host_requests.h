// Requests of the host's thread that the control window must carry out on
// its own (GUI) thread: queued here in the order made and performed there in
// that order. The host's thread never waits for the window.
#pragma once

#include <QMutex>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

struct HostRequest {
  enum Kind { SetLoFromHost, ShowTuneFrequency, SetRfGain };
  Kind kind;
  int32_t value;    // frequency in Hz, or the gain
  int32_t channel;  // channel code, for SetRfGain
};

// What the window offers the entry points. Implemented by the control window.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  virtual void perform_host_request(const HostRequest& request) = 0;
  // The channel code selected in the window (for SetRFGain).
  virtual int selected_channel() const = 0;
};

class HostRequestQueue {
 public:
  // Host's thread: appends and wakes the window (never blocks on it).
  void post(const HostRequest& request);
  // GUI thread: performs every queued request, oldest first.
  void drain(HostWindow& window);
  // GUI thread: how to wake it after a post (e.g. a queued invocation).
  void set_waker(std::function<void()> waker);
  void clear();
  size_t size();

 private:
  QMutex lock_;
  std::deque<HostRequest> queue_;
  std::function<void()> waker_;
};

HostRequestQueue& host_requests();

// The one control window, or none. Written by the GUI thread, read by the
// host's thread.
extern std::atomic<HostWindow*> the_window;
// The window's current RF gain in dB, written by the GUI thread, read by
// GetRFGain.
extern std::atomic<float> window_gain_db;
