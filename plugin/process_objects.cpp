// Process-wide objects of the plug-in, in the order of their construction at
// library load (destroyed in reverse order at unload).
#include "plugin/host_requests.h"
#include "plugin/receiver_state.h"
#include "plugin/sdr_app.h"

namespace {

// The GUI thread object outlives everything else: at unload it is asked to
// end, and it is only destroyed once it has (destroying a running thread
// would abort the host).
struct GuiThreadHolder {
  SDR_app* thread = new SDR_app;
  ~GuiThreadHolder() {
    if (thread->isRunning()) {
      thread->request_quit();
      if (!thread->wait(2000)) return;  // still running: leave it be
    }
    delete thread;
  }
};

GuiThreadHolder the_gui_thread;
ReceiverState the_receiver_state;
HostRequestQueue the_host_requests;

}  // namespace

SDR_app& gui_thread() { return *the_gui_thread.thread; }
ReceiverState& receiver_state() { return the_receiver_state; }
HostRequestQueue& host_requests() { return the_host_requests; }
