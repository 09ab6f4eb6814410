#include "support/fresh_plugin.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string make_scratch_dir(const char* tag) {
  std::string pattern = std::string("/tmp/wavedeck-") + tag + "-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

FreshPlugin::FreshPlugin(const std::string& settings) {
  static std::atomic<int> copies{0};
  char cwd[4096];
  old_cwd_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
  dir = make_scratch_dir("plugin");
  if (chdir(dir.c_str()) != 0) throw std::runtime_error("chdir failed");
  if (!settings.empty()) write_file(dir + "/sdr_config.ini", settings);
  const std::string copy = dir + "/ExtIO_Tavrin_SDR_" + std::to_string(copies++) + ".so";
  write_file(copy, read_file(PLUGIN_PATH));
  loaded = load_extio_plugin(copy, api, error);
}

FreshPlugin::~FreshPlugin() {
  // The library stays mapped for the life of the process; only the working
  // directory is given back.
  if (chdir(old_cwd_.c_str()) != 0) perror("chdir");
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
