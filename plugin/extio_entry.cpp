// The ExtIO entry points: what the host program calls.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>

#include "plugin/call_log.h"
#include "plugin/export.h"
#include "plugin/host_requests.h"
#include "plugin/receiver_state.h"
#include "plugin/sdr_app.h"
#include "usb/device_link.h"
#include "window/settings_store.h"

namespace {

constexpr int ATTENUATOR_STEPS = 16;
const char MODEL_TEXT[] = " Mod. v";  // 7 characters and the zero byte

char device_name[256];

// Set while SetHWLO, SetRFGain or TuneChanged hands its request to the
// window, so that a nested call of the same entry point skips that step.
std::atomic<int> set_hwlo_guard{0};
std::atomic<int> set_rf_gain_guard{0};
std::atomic<int> tune_changed_guard{0};

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Hands a request to the window if one exists and the entry point is not
// already inside its own hand-over.
template <typename MakeRequest>
void hand_to_window(std::atomic<int>& guard, MakeRequest make_request) {
  if (guard.load()) return;
  HostWindow* window = the_window.load();
  if (!window) return;
  guard.store(1);
  host_requests().post(make_request(*window));
  guard.store(0);
}

struct DeviceIdentity {
  const char* name;
  int type;
};

DeviceIdentity identify_device(int network_flag, int link_kind) {
  if (network_flag == 1) return {"Tavrin Rivulet Network", 3};
  if (link_kind == 2) return {"Tavrin Rivulet MSD", 3};
  return {"Tavrin Rivulet Audio", 4};
}

}  // namespace

CallLog& extio_log() {
  static CallLog log;
  return log;
}

EXTIO_API bool EXTIO_CALL InitHW(char* name, char* model, int* type) {
  receiver_state().set_run_request(0);
  memset(device_name, 0, sizeof device_name);
  const QByteArray path = settings_store().read_text("sdr_path", "H:/").toLatin1();
  set_msd_path(path.constData());
  open_device_link(device_name);
  int hardware_type = 4;
  const int network_flag = settings_store().read_int("network_enable_flag", 0);
  const DeviceIdentity identity = identify_device(network_flag, hid_status);
  hardware_type = identity.type;
  if (name) memcpy(name, identity.name, strlen(identity.name) + 1);
  close_device_link();
  if (model) memcpy(model, MODEL_TEXT, sizeof MODEL_TEXT);
  if (type) *type = hardware_type;
  return true;
}

EXTIO_API bool EXTIO_CALL OpenHW(void) {
  extio_log().open("extio_log.txt");
  open_gui();
  receiver_state().set_gui_hidden(0);
  extio_log().write("Open HW\n");
  return true;
}

EXTIO_API int EXTIO_CALL StartHW(int32_t freq) {
  receiver_state().set_lo_frequency(freq);
  receiver_state().set_run_request(1);
  pause_ms(200);
  extio_log().write("Start HW\n");
  return SAMPLES_PER_BLOCK;
}

EXTIO_API void EXTIO_CALL StopHW(void) {
  receiver_state().set_run_request(0);
  pause_ms(200);
  extio_log().write("Stop HW\n");
}

EXTIO_API void EXTIO_CALL CloseHW(void) {
  close_gui();
  extio_log().close_with("close HW\n");
}

EXTIO_API int EXTIO_CALL SetHWLO(int32_t freq) {
  extio_log().write("SetHWLO = %li\n", static_cast<long>(freq));
  hand_to_window(set_hwlo_guard, [freq](HostWindow&) {
    return HostRequest{HostRequest::SetLoFromHost, freq, 0};
  });
  return 0;
}

EXTIO_API int32_t EXTIO_CALL GetHWLO(void) {
  const int32_t lo = receiver_state().lo_frequency();
  extio_log().write("GetHWLO = %li\n", static_cast<long>(lo));
  return lo;
}

EXTIO_API int32_t EXTIO_CALL GetHWSR(void) {
  const int32_t rate = receiver_state().sample_rate();
  extio_log().write("GetHWSR =%li\n", static_cast<long>(rate));
  return rate;
}

EXTIO_API int EXTIO_CALL GetStatus(void) {
  extio_log().write("GetStatus\n");
  return 0;
}

EXTIO_API void EXTIO_CALL SetCallback(void (*callback)(int, int, float, void*)) {
  receiver_state().set_host_callback(callback);
  extio_log().write("SetCallback\n");
}

EXTIO_API void EXTIO_CALL ShowGUI(void) {
  receiver_state().set_gui_hidden(0);
  extio_log().write("ShowGUI\n");
}

EXTIO_API void EXTIO_CALL HideGUI(void) {
  receiver_state().set_gui_hidden(1);
  extio_log().write("HideGUI\n");
}

EXTIO_API void EXTIO_CALL TuneChanged(int32_t freq) {
  extio_log().write("Tunechanged =%li\n", static_cast<long>(freq));
  receiver_state().set_tune(freq);
  hand_to_window(tune_changed_guard, [freq](HostWindow&) {
    return HostRequest{HostRequest::ShowTuneFrequency, freq, 0};
  });
}

EXTIO_API int32_t EXTIO_CALL GetTune(void) {
  extio_log().write("GetTune\n");
  return receiver_state().tune();
}

EXTIO_API void EXTIO_CALL ModeChanged(char mode) {
  extio_log().write("ModeChanged mode = %c\n", mode);
}

EXTIO_API void EXTIO_CALL IFLimitsChanged(int32_t low, int32_t high) {
  extio_log().write("IFLimitsChanged low=%li , high=%li\n", static_cast<long>(low),
                    static_cast<long>(high));
}

EXTIO_API int EXTIO_CALL GetAttenuators(int index, float* att) {
  // A negative index is past the list too: nothing is written for it.
  const bool valid = index >= 0 && index < ATTENUATOR_STEPS;
  if (valid && att) *att = static_cast<float>(3 * index - 10);
  extio_log().write("GetAttenuators index=%i, att=%f\n", index,
                    att ? static_cast<double>(*att) : 0.0);
  return valid ? 0 : 1;
}

EXTIO_API int EXTIO_CALL GetActualAttIdx(void) {
  const int index = receiver_state().att_index();
  extio_log().write("GetActualIdx =%i\n", index);
  return index;
}

EXTIO_API int EXTIO_CALL SetAttenuator(int index) {
  extio_log().write("SetAttenuators index=%i\n", index);
  if (static_cast<unsigned>(index) >= static_cast<unsigned>(ATTENUATOR_STEPS)) return 1;
  receiver_state().set_att_index(index);
  return 0;
}

EXTIO_API void EXTIO_CALL VersionInfo(const char* name, int major, int minor) {
  extio_log().write("VersionInfo %s v.%i.%i\n", name ? name : "", major, minor);
}

EXTIO_API void EXTIO_CALL SetRFGain(int gain) {
  extio_log().write("SetRFgain %i\n", gain);
  hand_to_window(set_rf_gain_guard, [gain](HostWindow& window) {
    return HostRequest{HostRequest::SetRfGain, gain, window.selected_channel()};
  });
}

EXTIO_API int EXTIO_CALL GetRFGain(void) {
  extio_log().write("GetRFGain\n");
  if (!the_window.load()) return 0;
  const float db = window_gain_db.load();
  // Truncation toward zero; a value no int can hold gives a defined result.
  if (!std::isfinite(db)) return 0;
  if (db >= 2147483647.0f) return INT32_MAX;
  if (db <= -2147483648.0f) return INT32_MIN;
  return static_cast<int>(db);
}
