// The hardware type that InitHW reports follows the kind of USB link found,
// through the real plug-in: with the simulated HID receiver put in front of
// hidapi (this program exports hid_open and the rest, which the plug-in's own
// references to hidapi then reach), and with the simulated drive mounted where
// the setting sdr_path points.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "test_usb_support.h"

namespace {

struct Identity {
  std::string name;
  int type = -1;
};

Identity init_hw(FreshPlugin& plugin) {
  char name[256] = {};
  char model[256] = {};
  Identity identity;
  EXPECT_TRUE(plugin.api.InitHW(name, model, &identity.type));
  identity.name = name;
  return identity;
}

std::string run_and_capture(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char chunk[512];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  pclose(pipe);
  return output;
}

bool wait_for_file(const std::string& path) {
  for (int i = 0; i < 200; ++i) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST(InitHWLinkKind, HidReceiverIsTheAudioTypeAndIsClosedAgain) {
  hid_sim::reset();
  hid_sim::attach(0x255D, 0x0002);
  FreshPlugin plugin;
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  const Identity identity = init_hw(plugin);
  EXPECT_EQ(identity.name, "Tavrin Rivulet Audio");
  EXPECT_EQ(identity.type, 4);
  EXPECT_EQ(hid_sim::opens(), 1) << "the plug-in reached the simulated receiver";
  EXPECT_EQ(hid_sim::open_handles(), 0);
  EXPECT_EQ(hid_sim::bad_closes(), 0);
}

TEST(InitHWLinkKind, NetworkFlagWinsOverAnAttachedHidReceiver) {
  hid_sim::reset();
  hid_sim::attach(0x255D, 0x0002);
  FreshPlugin plugin("[General]\nnetwork_enable_flag=1\n");
  ASSERT_TRUE(plugin.loaded) << plugin.error;
  const Identity identity = init_hw(plugin);
  EXPECT_EQ(identity.name, "Tavrin Rivulet Network");
  EXPECT_EQ(identity.type, 3);
}

TEST(InitHWLinkKind, MassStorageReceiverIsTheCallbackTypeAndIsClosedAgain) {
  SKIP_WITHOUT_FUSE();
  hid_sim::reset();
  const std::string mount_point = make_scratch_dir("usb-drive") + "/drive";
  MsdDrive drive;
  std::string error;
  ASSERT_TRUE(drive.mount(mount_point, &error)) << error;
  {
    FreshPlugin plugin("[General]\nsdr_path=" + mount_point + "/\n");
    ASSERT_TRUE(plugin.loaded) << plugin.error;
    const Identity identity = init_hw(plugin);
    EXPECT_EQ(identity.name, "Tavrin Rivulet MSD");
    EXPECT_EQ(identity.type, 3);
    EXPECT_EQ(open_files_under(mount_point), 0);
  }
  drive.unmount();
}

TEST(ExtioHost, InfoNamesTheSimulatedDriveAtTheStoredPath) {
  SKIP_WITHOUT_FUSE();
  const std::string dir = make_scratch_dir("usb-host");
  const std::string mount_point = dir + "/drive";
  const pid_t sim = fork();
  ASSERT_GE(sim, 0);
  if (sim == 0) {
    execl(RECEIVER_SIM_PATH, RECEIVER_SIM_PATH, "msd", mount_point.c_str(), (char*)nullptr);
    _exit(127);
  }
  const bool mounted = wait_for_file(mount_point + "/command.in");
  if (mounted) {
    write_file(dir + "/sdr_config.ini", "[General]\nsdr_path=" + mount_point + "/\n");
    const std::string output = run_and_capture("cd '" + dir + "' && '" EXTIO_HOST_PATH "' info '" +
                                               std::string(PLUGIN_PATH) + "'");
    EXPECT_NE(output.find("name: Tavrin Rivulet MSD\n"), std::string::npos) << output;
    EXPECT_NE(output.find("hardware type: 3"), std::string::npos) << output;
  }
  kill(sim, SIGTERM);
  int status = 0;
  waitpid(sim, &status, 0);
  ASSERT_TRUE(mounted) << "receiver_sim msd did not mount " << mount_point;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "receiver_sim msd status " << status;
}
