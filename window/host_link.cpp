// Requests of the host's thread (SetHWLO, TuneChanged, SetRFGain), queued by
// the entry points and performed here, on the window's thread, in order.
#include <QMetaObject>

#include "window/mainwindow.h"

void MainWindow::wake_for_host_requests() {
  // Called on the host's thread with the queue locked: only posts an event.
  QMetaObject::invokeMethod(
      this, [this] { host_requests().drain(*this); }, Qt::QueuedConnection);
}

void MainWindow::perform_host_request(const HostRequest& request) {
  switch (request.kind) {
    case HostRequest::SetLoFromHost:
      set_lo_from_host(request.value);
      break;
    case HostRequest::ShowTuneFrequency:
      show_tune_frequency(request.value);
      break;
    case HostRequest::SetRfGain:
      set_rf_gain(request.channel, request.value);
      break;
  }
}
