#include "host/plugin_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

template <typename F>
bool resolve(void* handle, const char* name, F& slot, std::string& error) {
  void* symbol = dlsym(handle, name);
  if (!symbol) {
    error = std::string("not an ExtIO plug-in: entry point ") + name + " is missing";
    return false;
  }
  slot = reinterpret_cast<F>(symbol);
  return true;
}

}  // namespace

bool load_extio_plugin(const std::string& path, ExtioPlugin& p, std::string& error) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    error = "cannot find the plug-in " + path;
    return false;
  }
  // dlopen searches the library path for a bare name; a plug-in is given by path.
  const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load " + path + " as a plug-in: " + (why ? why : "unknown reason");
    return false;
  }
#define RESOLVE(name)                                   \
  if (!resolve(handle, #name, p.name, error)) {         \
    dlclose(handle);                                    \
    return false;                                       \
  }
  RESOLVE(InitHW) RESOLVE(OpenHW) RESOLVE(StartHW) RESOLVE(StopHW) RESOLVE(CloseHW)
  RESOLVE(SetHWLO) RESOLVE(GetHWLO) RESOLVE(GetHWSR) RESOLVE(GetStatus)
  RESOLVE(SetCallback) RESOLVE(ShowGUI) RESOLVE(HideGUI) RESOLVE(TuneChanged)
  RESOLVE(GetTune) RESOLVE(ModeChanged) RESOLVE(IFLimitsChanged)
  RESOLVE(GetAttenuators) RESOLVE(GetActualAttIdx) RESOLVE(SetAttenuator)
  RESOLVE(VersionInfo) RESOLVE(SetRFGain) RESOLVE(GetRFGain)
#undef RESOLVE
  p.handle = handle;
  return true;
}

void* find_plugin_symbol(const ExtioPlugin& plugin, const char* name) {
  return plugin.handle ? dlsym(plugin.handle, name) : nullptr;
}
