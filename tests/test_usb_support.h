// What the USB link tests share: a fresh link state, the simulated drive
// mounted in a scratch directory, and a count of the files left open on it.
#pragma once

#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "net/tcp_channel.h"
#include "platform/sector_io.h"
#include "sim/hid_sim.h"
#include "sim/msd_drive.h"
#include "support/fresh_plugin.h"
#include "usb/device_link.h"

inline bool fuse_device_present() { return access("/dev/fuse", F_OK) == 0; }

#define SKIP_WITHOUT_FUSE()                                                              \
  do {                                                                                   \
    if (!fuse_device_present())                                                          \
      GTEST_SKIP() << "/dev/fuse is absent: the simulated mass-storage drive cannot be " \
                      "mounted here";                                                    \
  } while (0)

// Descriptors of this process whose file lies under `dir`.
inline int open_files_under(const std::string& dir) {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  if (!fds) return -1;
  while (dirent* entry = readdir(fds)) {
    char target[4096];
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    target[n] = 0;
    if (strncmp(target, dir.c_str(), dir.size()) == 0 && target[dir.size()] == '/') ++count;
  }
  closedir(fds);
  return count;
}

// The link as the library loads it, no simulated HID receiver attached, no
// pending TCP message; the working directory is a scratch directory.
class UsbLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    close_device_link();
    hid_status = LINK_NONE;
    report_length = 7;
    device_generation = 2;
    command_pending = 0;
    network_tunnel = 0;
    memset(tunnel_answer_slot, 0, sizeof tunnel_answer_slot);
    set_msd_path("");
    tcp_send(nullptr, 1);
    hid_sim::reset();
    allow_all_allocations();
    dir_ = make_scratch_dir("usb");
    ASSERT_EQ(chdir(dir_.c_str()), 0);
  }

  void TearDown() override {
    allow_all_allocations();
    close_device_link();
    drive_.reset();
    if (chdir("/") != 0) perror("chdir");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Mounts the simulated drive on ./H: (so that the path prefix "H:/" finds
  // it). Call through MOUNT_DRIVE() so a missing /dev/fuse skips the test.
  void mount_drive(const MsdDrive::Files& files = {}) {
    drive_ = std::make_unique<MsdDrive>();
    drive_->set_files(files);
    std::string error;
    mount_point_ = dir_ + "/H:";
    ASSERT_TRUE(drive_->mount(mount_point_, &error)) << error;
  }

  std::string dir_;
  std::string mount_point_;
  std::unique_ptr<MsdDrive> drive_;
  char name_[NAME_BUFFER_BYTES] = {};
};

#define MOUNT_DRIVE(...)                     \
  do {                                       \
    SKIP_WITHOUT_FUSE();                     \
    ASSERT_NO_FATAL_FAILURE(mount_drive(__VA_ARGS__)); \
  } while (0)
