// A stand-in ExtIO plug-in for the host program's tests: StartHW starts a
// thread that delivers 512-sample blocks of a ramp (I = n, Q = -n) at
// RAMP_PLUGIN_RATE samples/s (default 64000), StopHW ends it. Every entry
// point called is appended, one per line, to the file RAMP_PLUGIN_LOG.
// RAMP_PLUGIN_SILENT=1 delivers nothing.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Callback = void (*)(int, int, float, void*);
std::atomic<Callback> callback{nullptr};
std::atomic<bool> running{false};
std::thread streamer;
int32_t lo = 0;

int rate() {
  const char* text = getenv("RAMP_PLUGIN_RATE");
  return text ? atoi(text) : 64000;
}

void log_call(const char* name) {
  if (const char* path = getenv("RAMP_PLUGIN_LOG")) {
    if (FILE* f = fopen(path, "a")) {
      fprintf(f, "%s\n", name);
      fclose(f);
    }
  }
}

void stream() {
  int16_t block[1024];
  uint16_t n = 0;
  const auto period = std::chrono::duration<double>(512.0 / rate());
  auto next = std::chrono::steady_clock::now();
  while (running) {
    for (int k = 0; k < 512; ++k, ++n) {
      block[2 * k] = int16_t(n);
      block[2 * k + 1] = int16_t(-int16_t(n));
    }
    if (Callback cb = callback.load()) cb(512, 0, 0.0f, block);
    next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
    std::this_thread::sleep_until(next);
  }
}

}  // namespace

EXPORT bool InitHW(char* name, char* model, int* type) {
  log_call("InitHW");
  strcpy(name, "Ramp");
  model[0] = 0;
  *type = 3;
  return true;
}
EXPORT bool OpenHW() { log_call("OpenHW"); return true; }
EXPORT int StartHW(int32_t freq) {
  log_call("StartHW");
  lo = freq;
  const char* silent = getenv("RAMP_PLUGIN_SILENT");
  if (!(silent && !strcmp(silent, "1")) && !running.exchange(true)) streamer = std::thread(stream);
  return 512;
}
EXPORT void StopHW() {
  log_call("StopHW");
  running = false;
  if (streamer.joinable()) streamer.join();
}
EXPORT void CloseHW() { log_call("CloseHW"); }
EXPORT int SetHWLO(int32_t freq) { lo = freq; return 0; }
EXPORT int32_t GetHWLO() { return lo; }
EXPORT int32_t GetHWSR() { return rate(); }
EXPORT int GetStatus() { return 0; }
EXPORT void SetCallback(Callback cb) { callback = cb; }
EXPORT void ShowGUI() {}
EXPORT void HideGUI() {}
EXPORT void TuneChanged(int32_t) {}
EXPORT int32_t GetTune() { return lo; }
EXPORT void ModeChanged(char) {}
EXPORT void IFLimitsChanged(int32_t, int32_t) {}
EXPORT int GetAttenuators(int, float*) { return 1; }
EXPORT int GetActualAttIdx() { return 0; }
EXPORT int SetAttenuator(int) { return 0; }
EXPORT void VersionInfo(const char*, int, int) {}
EXPORT void SetRFGain(int) {}
EXPORT int GetRFGain() { return 0; }
