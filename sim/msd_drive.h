// The simulated receiver as a USB mass-storage drive: a FUSE file system that
// presents the mailbox files "command.out" and "command.in" and the sample
// file "stream.dat", served by threads of this process. As firmware does, it
// sees every sector written to "command.out" as a command of its own (two
// identical writes are two commands), answers in the first sector of
// "command.in", takes the answer as read when the host writes that sector
// back with byte 0 cleared, and returns fresh samples at every stream read.
//
// Stream samples are a ramp per channel: frame n carries, for channel c
// (0-based), I = n + 256 c and Q = -(n + 256 c), as 16-bit values that wrap.
// The frame counter runs on from read to read, so a reader can check that no
// sample was lost or repeated. The frame layout (1, 2 or 4 channels) follows
// the firmware's RX mode.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_firmware.h"

struct fuse;

class MsdDrive {
 public:
  struct Files {
    bool command_in = true;
    bool command_out = true;
    bool stream = true;
  };

  MsdDrive();
  ~MsdDrive();  // unmounts
  MsdDrive(const MsdDrive&) = delete;
  MsdDrive& operator=(const MsdDrive&) = delete;

  // Mounts the drive on the directory `mount_point` (created if missing).
  // False with a reason in *error when it cannot (e.g. no /dev/fuse).
  bool mount(const std::string& mount_point, std::string* error);
  // Unmounts once every file on the drive is closed (reads held by
  // hold_stream_reads are released first).
  void unmount();
  const std::string& mount_point() const { return mount_point_; }

  // Which files the drive presents.
  void set_files(const Files& files);
  // Runs `change` on the firmware under the drive's lock.
  void with_firmware(const std::function<void(SimFirmware&)>& change);
  // Places a raw answer sector in "command.in" ahead of any queued answers.
  void put_answer_sector(const std::vector<uint8_t>& sector);

  // Stream faults: every read returns at most `bytes` (-1: what was asked;
  // 0: reads return nothing); while held, reads wait until released.
  void set_stream_read_bytes(int bytes);
  void hold_stream_reads(bool hold);

  // What the drive saw.
  std::vector<std::vector<uint8_t>> commands();  // first 7 bytes of every command sector
  int acknowledgements();                        // answer sectors written back
  int answer_writes();                           // every write to "command.in"
  int stream_reads();
  std::vector<int64_t> stream_read_offsets();
  int reads_waiting();  // stream reads now held

  // Handlers, called from the file system's threads.
  int on_getattr(const char* path, struct stat* st);
  int on_open(const char* path);
  int on_read(const char* path, char* buffer, size_t size, int64_t offset);
  int on_write(const char* path, const char* buffer, size_t size, int64_t offset);

 private:
  bool presents(const char* path);
  void fill_ramp(char* buffer, size_t size);

  std::mutex lock_;
  std::condition_variable released_;
  Files files_;
  SimFirmware firmware_;
  std::deque<std::vector<uint8_t>> answers_;  // head is in "command.in"
  std::vector<std::vector<uint8_t>> commands_;
  int acknowledgements_ = 0;
  int answer_writes_ = 0;
  int stream_read_bytes_ = -1;
  bool hold_reads_ = false;
  bool closing_ = false;
  int reads_waiting_ = 0;
  std::vector<int64_t> stream_offsets_;
  uint16_t frame_counter_ = 0;

  std::string mount_point_;
  struct fuse* fuse_ = nullptr;
  std::future<void> loop_done_;
};
