// The control window inside a host: OpenHW brings it up on a thread of the
// plug-in's own, CloseHW ends it, and it can come back.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QLCDNumber>
#include <QThread>
#include <QMetaObject>
#include <QWidget>
#include <cstdio>

#include "support/fresh_plugin.h"

namespace {

struct WindowView {
  int windows = 0;
  bool visible = false;
  QString title;
  QString dispatcher;
  QApplication* application = nullptr;
};

// Looks at the plug-in's top-level windows from inside its GUI thread.
WindowView view_windows() {
  WindowView view;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return view;
  QMetaObject::invokeMethod(
      app,
      [&view] {
        view.application = qobject_cast<QApplication*>(QCoreApplication::instance());
        view.dispatcher = QAbstractEventDispatcher::instance()->metaObject()->className();
        for (QWidget* w : QApplication::topLevelWidgets()) {
          if (!w->inherits("MainWindow")) continue;
          view.windows++;
          view.visible = view.visible || w->isVisible();
          view.title = w->windowTitle();
        }
      },
      Qt::BlockingQueuedConnection);
  return view;
}

qint64 ms_to_close(ExtioPlugin& api) {
  QElapsedTimer timer;
  timer.start();
  api.CloseHW();
  return timer.elapsed();
}

}  // namespace

TEST(GuiThread, OpenHWReturnsWithTheWindowShownAndCloseHWEndsIt) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  char name[256], model[256];
  int type;
  plugin.api.InitHW(name, model, &type);
  EXPECT_TRUE(plugin.api.OpenHW());
  WindowView first = view_windows();
  EXPECT_EQ(first.windows, 1);
  EXPECT_TRUE(first.visible);
  EXPECT_EQ(first.title, "Wavedeck x4 (v.5.23)");
  // A thread's generic dispatcher never delivers window-system events: the
  // window would stay unpainted. The platform's own must be in charge.
  EXPECT_NE(first.dispatcher, "QEventDispatcherGlib");
  EXPECT_NE(first.dispatcher, "QEventDispatcherUNIX");

  EXPECT_TRUE(plugin.api.OpenHW()) << "a second OpenHW while the window runs";
  WindowView second = view_windows();
  EXPECT_EQ(second.windows, 1);
  EXPECT_EQ(second.application, first.application);

  EXPECT_LT(ms_to_close(plugin.api), 1000);
  for (int i = 0; i < 50 && QCoreApplication::instance(); ++i) QThread::msleep(100);
  EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the application object is released";

  EXPECT_TRUE(plugin.api.OpenHW()) << "OpenHW after CloseHW";
  WindowView again = view_windows();
  EXPECT_EQ(again.windows, 1);
  EXPECT_TRUE(again.visible);
  EXPECT_LT(ms_to_close(plugin.api), 1000);
}

TEST(GuiThread, HostRequestsReachTheWindowInOrder) {
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  plugin.api.OpenHW();
  for (int f = 7000000; f <= 7000100; ++f) plugin.api.TuneChanged(f);
  int shown = 0;
  for (int i = 0; i < 40 && shown != 7000100; ++i) {
    QThread::msleep(50);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
          for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* lcd = w->findChild<QLCDNumber*>("lcdNumber_rx")) shown = lcd->intValue();
        },
        Qt::BlockingQueuedConnection);
  }
  plugin.api.CloseHW();
  EXPECT_EQ(shown, 7000100) << "the last of the host's requests is the one shown";
  EXPECT_EQ(plugin.api.GetTune(), 7000100);
}

TEST(GuiThread, AHostWithoutADisplaySurvivesOpenHW) {
  const std::string dir = make_scratch_dir("nodisplay");
  const std::string command = "cd " + dir + " && env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY " +
                              std::string(EXTIO_HOST_PATH) + " open " + PLUGIN_PATH +
                              " --seconds 1 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
  EXPECT_NE(output.find("runs offscreen"), std::string::npos) << output;
  EXPECT_NE(output.find("CloseHW returned"), std::string::npos) << output;
}
