#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QNetworkInterface>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

void fuzz_enter_scratch_dir(const char* target) {
  static bool done = false;
  if (done) return;
  done = true;
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wavedeck-" + target + "-XXXXXX";
  if (!mkdtemp(&pattern[0]) || chdir(pattern.c_str()) != 0) fuzz_fail("no scratch directory");
  settings_store().reopen("./sdr_config.ini");
}

void fuzz_require_sandbox(const char* target) {
  const char* marked = getenv("WAVEDECK_FUZZ_SANDBOX");
  bool loopback_only = true;
  for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
    if (!(interface.flags() & QNetworkInterface::IsLoopBack)) loopback_only = false;
  if (marked && std::string(marked) == "1" && loopback_only) return;
  fprintf(stderr,
          "%s: refusing to run outside the private namespaces of scripts/fuzz.sh "
          "(it may connect to any address its input names); run it through scripts/fuzz.sh\n",
          target);
  _exit(3);
}

void fuzz_application() {
  static QApplication* application = nullptr;
  if (application) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(quiet);
  static int argc = 1;
  static char name[] = "wavedeck_fuzz";
  static char* argv[] = {name, nullptr};
  application = new QApplication(argc, argv);
}

MainWindow& fuzz_window() {
  static MainWindow* window = nullptr;
  if (window) return *window;
  fuzz_application();
  window = new MainWindow;
  for (int id : {window->timer_20ms, window->timer_200ms, window->timer_1000ms}) window->killTimer(id);
  return *window;
}

void fuzz_settle_events() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void fuzz_fail(const char* what) {
  fprintf(stderr, "fuzz invariant broken: %s\n", what);
  abort();
}
