// The GUI thread of plug-in mode: runs the application object, the control
// window and their event loops on a thread of the plug-in's own, since the
// host's main thread is not ours to use.
#pragma once

#include <QThread>
#include <atomic>

class QApplication;
class MainWindow;

class SDR_app : public QThread {
 public:
  SDR_app() = default;
  ~SDR_app() override;

  // Asks both event loops to end (CloseHW).
  void request_quit();
  // True from the moment CloseHW asks the thread to end until it has ended.
  bool is_ending() const { return ending_.load(); }
  // True when the window could not be made (e.g. the host runs a Qt
  // application of its own on another thread).
  bool window_unavailable() const { return unavailable_.load(); }

 protected:
  void run() override;

 private:
  std::atomic<bool> ending_{false};
  std::atomic<bool> unavailable_{false};
};

SDR_app& gui_thread();

// OpenHW: starts the GUI thread and returns once its window exists (or can
// never exist); raises the thread's priority when it already runs.
void open_gui();
// CloseHW: closes the window and its control connection, ends both event
// loops and waits at most 200 ms for the GUI thread.
void close_gui();
extern std::atomic<QApplication*> the_application;

// Creates the window's application object for the current thread, choosing
// the offscreen platform where no display can be reached, so that a plug-in
// loaded where no display exists does not take its host down.
QApplication* make_gui_application(int& argc, char** argv);
