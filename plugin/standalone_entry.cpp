// The window as an ordinary application, on the caller's thread.
#include <QApplication>
#include <QIcon>

#include "plugin/export.h"
#include "window/mainwindow.h"

EXTIO_API int dll_main(int argc, char** argv) {
  QApplication application(argc, argv);
  int exit_code = 0;
  {
    MainWindow window;
    window.setWindowIcon(QIcon(":/new/prefix1/images/app_icon1.png"));
    window.show();
    exit_code = application.exec();
  }  // the window's teardown runs before the application goes
  return exit_code;
}

EXTIO_API int EXTIO_CALL EntryPoint(void*, void*, const char*, int) { return dll_main(1, nullptr); }
