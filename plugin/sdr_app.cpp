#include "plugin/sdr_app.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QIcon>
#include <QtCore/private/qobject_p.h>
#include <QtCore/private/qthread_p.h>
#include <cstdio>

#include "plugin/display_probe.h"
#include "plugin/host_requests.h"
#include "window/mainwindow.h"

std::atomic<QApplication*> the_application{nullptr};

namespace {

// Application arguments of plug-in mode: none, unless the window must go
// offscreen.
int no_argc = 0;
char offscreen_arg0[] = "ExtIO_Tavrin_SDR";
char offscreen_arg1[] = "-platform";
char offscreen_arg2[] = "offscreen";
char* offscreen_argv[] = {offscreen_arg0, offscreen_arg1, offscreen_arg2, nullptr};
int offscreen_argc = 3;

// QThread gives every thread it starts a generic event dispatcher, and an
// application created on such a thread keeps it: window-system events
// (expose, input) are then never delivered and the window stays unpainted.
// Dropping the generic one lets the application install its platform's.
void let_application_install_its_dispatcher() {
  QObject probe;  // made on this thread, so it carries this thread's data
  QThreadData* data = QObjectPrivate::get(&probe)->threadData.loadRelaxed();
  QAbstractEventDispatcher* generic = data->eventDispatcher.loadRelaxed();
  if (!generic) return;
  data->eventDispatcher.storeRelaxed(nullptr);
  delete generic;
}

}  // namespace

QApplication* make_gui_application(int& argc, char** argv) {
  if (x11_platform_unreachable()) {
    fprintf(stderr, "Wavedeck: no display can be reached; the control window runs offscreen\n");
    return new QApplication(offscreen_argc, offscreen_argv);
  }
  return new QApplication(argc, argv);
}

void SDR_app::run() {
  ending_ = false;
  unavailable_ = false;
  if (!the_application.load()) {
    if (QCoreApplication::instance()) {
      // The host has an application object of its own; a second one cannot
      // be made, and the host's is not ours to run.
      fprintf(stderr, "Wavedeck: the host runs its own Qt application; no control window\n");
      unavailable_ = true;
      return;
    }
    let_application_install_its_dispatcher();
    the_application = make_gui_application(no_argc, nullptr);
    the_application.load()->setQuitOnLastWindowClosed(false);
  }
  MainWindow* window = new MainWindow;
  window->setWindowIcon(QIcon(":/new/prefix1/images/app_icon1.png"));
  window->show();
  the_window = window;
  the_application.load()->exec();
  exec();
  // Everything of this run is released here, on its own thread: the window's
  // teardown stops the stream threads (so no sample reaches a host that has
  // closed us), and the application object goes so a later OpenHW can make
  // a new one.
  the_window = nullptr;
  host_requests().clear();
  delete window;
  delete the_application.exchange(nullptr);
  ending_ = false;
}

void SDR_app::request_quit() {
  ending_ = true;
  if (QApplication* app = the_application.load())
    QMetaObject::invokeMethod(app, "quit", Qt::QueuedConnection);
  quit();
}

SDR_app::~SDR_app() = default;

namespace {

constexpr int WINDOW_WAIT_LIMIT_MS = 10000;

void pause_ms(unsigned long ms) { QThread::msleep(ms); }

}  // namespace

void open_gui() {
  SDR_app& thread = gui_thread();
  if (thread.isRunning() && thread.is_ending()) {
    // A CloseHW moments ago: let that run finish, then start afresh.
    thread.wait(3000);
  }
  if (thread.isRunning()) {
    thread.setPriority(QThread::TimeCriticalPriority);
    return;
  }
  thread.start(QThread::InheritPriority);
  thread.wait(100);
  // Bounded: a window that can never exist must not hang the host.
  for (int waited = 0; !the_window.load() && waited < WINDOW_WAIT_LIMIT_MS; waited += 100) {
    if (thread.isFinished() || thread.window_unavailable()) return;
    pause_ms(100);
  }
  pause_ms(1000);
}

void close_gui() {
  if (MainWindow* window = static_cast<MainWindow*>(the_window.load())) {
    // The window and its sockets belong to the GUI thread: closing them is
    // asked of it, ahead of the quit requests that follow.
    QMetaObject::invokeMethod(window, [window] { window->close_for_host(); },
                              Qt::QueuedConnection);
  }
  SDR_app& thread = gui_thread();
  thread.request_quit();
  thread.wait(200);
  the_window = nullptr;
}
