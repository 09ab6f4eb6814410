// A fresh instance of the plug-in for one test: a scratch working directory
// (optionally holding a settings file) and a private copy of the library
// loaded from it, so that every test starts from the library's load state.
#pragma once

#include <string>

#include "host/plugin_loader.h"

std::string make_scratch_dir(const char* tag);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);

class FreshPlugin {
 public:
  // `settings` is written to ./sdr_config.ini before the library loads.
  explicit FreshPlugin(const std::string& settings = "");
  ~FreshPlugin();

  ExtioPlugin api;
  std::string dir;
  bool loaded = false;
  std::string error;

  std::string log_text() const { return read_file(dir + "/extio_log.txt"); }

 private:
  std::string old_cwd_;
};
