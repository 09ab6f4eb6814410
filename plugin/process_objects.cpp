// Process-wide objects of the plug-in, in the order of their construction at
// library load (destroyed in reverse order at unload).
#include "plugin/host_requests.h"
#include "plugin/receiver_state.h"

namespace {
ReceiverState the_receiver_state;
HostRequestQueue the_host_requests;
}  // namespace

ReceiverState& receiver_state() { return the_receiver_state; }
HostRequestQueue& host_requests() { return the_host_requests; }
