// Loads an ExtIO plug-in by path and resolves its entry points, as any SDR
// host program does. Shared by extio_host and the tests, so that what they
// exercise is the exported contract itself.
#pragma once

#include <cstdint>
#include <string>

struct ExtioPlugin {
  using Callback = void (*)(int, int, float, void*);

  bool (*InitHW)(char*, char*, int*) = nullptr;
  bool (*OpenHW)() = nullptr;
  int (*StartHW)(int32_t) = nullptr;
  void (*StopHW)() = nullptr;
  void (*CloseHW)() = nullptr;
  int (*SetHWLO)(int32_t) = nullptr;
  int32_t (*GetHWLO)() = nullptr;
  int32_t (*GetHWSR)() = nullptr;
  int (*GetStatus)() = nullptr;
  void (*SetCallback)(Callback) = nullptr;
  void (*ShowGUI)() = nullptr;
  void (*HideGUI)() = nullptr;
  void (*TuneChanged)(int32_t) = nullptr;
  int32_t (*GetTune)() = nullptr;
  void (*ModeChanged)(char) = nullptr;
  void (*IFLimitsChanged)(int32_t, int32_t) = nullptr;
  int (*GetAttenuators)(int, float*) = nullptr;
  int (*GetActualAttIdx)() = nullptr;
  int (*SetAttenuator)(int) = nullptr;
  void (*VersionInfo)(const char*, int, int) = nullptr;
  void (*SetRFGain)(int) = nullptr;
  int (*GetRFGain)() = nullptr;

  void* handle = nullptr;
};

// Loads the plug-in at `path`. On failure returns false and puts a message
// for the user in `error`: the file is missing, is not a loadable library, or
// lacks an entry point (named in the message).
bool load_extio_plugin(const std::string& path, ExtioPlugin& plugin, std::string& error);

// Resolves an optional symbol (e.g. dll_main) from a loaded plug-in.
void* find_plugin_symbol(const ExtioPlugin& plugin, const char* name);
