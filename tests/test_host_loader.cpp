// What a user sees when extio_host is pointed at the wrong file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/fresh_plugin.h"

namespace {

struct HostRun {
  int status;
  std::string output;
};

// Runs extio_host with `args`, in `cwd` when given.
HostRun run_host(const std::string& args, const std::string& cwd = "") {
  const std::string command = (cwd.empty() ? "" : "cd " + cwd + " && ") +
                              std::string(EXTIO_HOST_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[512];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST(ExtioHost, RefusesWhatIsNotAPluginWithAClearMessage) {
  const std::string dir = make_scratch_dir("host");
  write_file(dir + "/text.so", "this is text\n");
  struct Case {
    std::string plugin;
    std::string message;
  } cases[] = {
      {dir + "/absent.so", "cannot find the plug-in"},
      {dir + "/text.so", "cannot load"},
      {NOT_A_PLUGIN_PATH, "entry point OpenHW is missing"},
  };
  for (const Case& c : cases) {
    const HostRun run = run_host("info " + c.plugin);
    EXPECT_EQ(run.status, 1) << c.plugin;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
  }
  EXPECT_EQ(run_host("frobnicate x").status, 2);
  EXPECT_EQ(run_host("").status, 2);
}

TEST(ExtioHost, InfoPrintsTheIdentityOfThePlugin) {
  const std::string dir = make_scratch_dir("host");
  write_file(dir + "/sdr_config.ini", "[General]\nnetwork_enable_flag=1\n");
  const HostRun run = run_host("info " + std::string(PLUGIN_PATH), dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("name: Tavrin Rivulet Network\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("hardware type: 3"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("attenuators (dB): -10 -7 -4 -1 2 5 8 11 14 17 20 23 26 29 32 35\n"),
            std::string::npos)
      << run.output;
}
