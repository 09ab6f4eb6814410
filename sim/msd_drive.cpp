#define FUSE_USE_VERSION 312
#include "sim/msd_drive.h"

#include <fuse3/fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "sim/sim_log.h"

namespace {

constexpr size_t SECTOR = 512;
constexpr off_t STREAM_FILE_BYTES = 1 << 20;
const char COMMAND_IN[] = "/command.in";
const char COMMAND_OUT[] = "/command.out";
const char STREAM[] = "/stream.dat";

MsdDrive* drive() { return static_cast<MsdDrive*>(fuse_get_context()->private_data); }

void* fs_init(struct fuse_conn_info*, struct fuse_config* config) {
  // Every read and write reaches the drive, as on a device that bypasses the
  // cache; nothing is cached in the kernel.
  config->direct_io = 1;
  config->kernel_cache = 0;
  config->attr_timeout = 0;
  config->entry_timeout = 0;
  config->negative_timeout = 0;
  return fuse_get_context()->private_data;
}

int fs_getattr(const char* path, struct stat* st, struct fuse_file_info*) {
  return drive()->on_getattr(path, st);
}

int fs_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, struct fuse_file_info*,
               enum fuse_readdir_flags) {
  if (strcmp(path, "/") != 0) return -ENOENT;
  fill(buffer, ".", nullptr, 0, FUSE_FILL_DIR_PLUS);
  fill(buffer, "..", nullptr, 0, FUSE_FILL_DIR_PLUS);
  for (const char* name : {COMMAND_IN, COMMAND_OUT, STREAM}) {
    struct stat st;
    if (drive()->on_getattr(name, &st) == 0) fill(buffer, name + 1, nullptr, 0, FUSE_FILL_DIR_PLUS);
  }
  return 0;
}

int fs_open(const char* path, struct fuse_file_info* fi) {
  fi->direct_io = 1;
  return drive()->on_open(path);
}

int fs_read(const char* path, char* buffer, size_t size, off_t offset, struct fuse_file_info*) {
  return drive()->on_read(path, buffer, size, offset);
}

int fs_write(const char* path, const char* buffer, size_t size, off_t offset, struct fuse_file_info*) {
  return drive()->on_write(path, buffer, size, offset);
}

int fs_truncate(const char*, off_t, struct fuse_file_info*) { return 0; }
int fs_fsync(const char*, int, struct fuse_file_info*) { return 0; }
int fs_flush(const char*, struct fuse_file_info*) { return 0; }

struct fuse_operations drive_operations() {
  struct fuse_operations ops = {};
  ops.init = fs_init;
  ops.getattr = fs_getattr;
  ops.readdir = fs_readdir;
  ops.open = fs_open;
  ops.read = fs_read;
  ops.write = fs_write;
  ops.truncate = fs_truncate;
  ops.fsync = fs_fsync;
  ops.flush = fs_flush;
  return ops;
}

}  // namespace

MsdDrive::MsdDrive() = default;

MsdDrive::~MsdDrive() { unmount(); }

bool MsdDrive::mount(const std::string& mount_point, std::string* error) {
  if (access("/dev/fuse", R_OK | W_OK) != 0) {
    if (error) *error = std::string("/dev/fuse is not usable: ") + strerror(errno);
    return false;
  }
  mkdir(mount_point.c_str(), 0755);
  const char* argv[] = {"msd_drive"};
  struct fuse_args args = FUSE_ARGS_INIT(1, const_cast<char**>(argv));
  const struct fuse_operations ops = drive_operations();
  fuse_ = fuse_new(&args, &ops, sizeof ops, this);
  fuse_opt_free_args(&args);
  if (!fuse_) {
    if (error) *error = "fuse_new failed";
    return false;
  }
  if (fuse_mount(fuse_, mount_point.c_str()) != 0) {
    if (error) *error = "cannot mount a FUSE file system on " + mount_point;
    fuse_destroy(fuse_);
    fuse_ = nullptr;
    return false;
  }
  mount_point_ = mount_point;
  {
    std::lock_guard<std::mutex> hold(lock_);
    closing_ = false;
  }
  auto done = std::make_shared<std::promise<void>>();
  loop_done_ = done->get_future();
  // Detached: unmount() waits for it through loop_done_, with a bound.
  std::thread([f = fuse_, done] {
    struct fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_mt(f, config);
    fuse_loop_cfg_destroy(config);
    done->set_value();
  }).detach();
  sim_log("drive mounted on %s", mount_point.c_str());
  return true;
}

void MsdDrive::unmount() {
  if (!fuse_) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    closing_ = true;
    released_.notify_all();
  }
  // The loop must end before fuse_unmount closes the device descriptor that
  // its threads read. A request wakes one of them to see the exit; it is sent
  // from a thread of its own, since an exiting loop may leave it unanswered
  // until the unmount aborts the connection.
  fuse_exit(fuse_);
  std::thread([path = mount_point_] {
    struct stat st;
    stat(path.c_str(), &st);
  }).detach();
  const bool loop_ended = loop_done_.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  fuse_unmount(fuse_);
  if (loop_ended)
    fuse_destroy(fuse_);
  else
    fprintf(stderr, "msd_drive: the file system on %s did not stop; it is left running\n",
            mount_point_.c_str());
  fuse_ = nullptr;
  sim_log("drive unmounted from %s", mount_point_.c_str());
}

void MsdDrive::set_files(const Files& files) {
  std::lock_guard<std::mutex> hold(lock_);
  files_ = files;
}

void MsdDrive::with_firmware(const std::function<void(SimFirmware&)>& change) {
  std::lock_guard<std::mutex> hold(lock_);
  change(firmware_);
}

void MsdDrive::put_answer_sector(const std::vector<uint8_t>& sector) {
  std::lock_guard<std::mutex> hold(lock_);
  answers_.push_front(sector);
}

void MsdDrive::set_stream_read_bytes(int bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  stream_read_bytes_ = bytes;
}

void MsdDrive::hold_stream_reads(bool hold_reads) {
  std::lock_guard<std::mutex> hold(lock_);
  hold_reads_ = hold_reads;
  released_.notify_all();
}

std::vector<std::vector<uint8_t>> MsdDrive::commands() {
  std::lock_guard<std::mutex> hold(lock_);
  return commands_;
}

int MsdDrive::acknowledgements() {
  std::lock_guard<std::mutex> hold(lock_);
  return acknowledgements_;
}

int MsdDrive::answer_writes() {
  std::lock_guard<std::mutex> hold(lock_);
  return answer_writes_;
}

int MsdDrive::stream_reads() {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int>(stream_offsets_.size());
}

std::vector<int64_t> MsdDrive::stream_read_offsets() {
  std::lock_guard<std::mutex> hold(lock_);
  return stream_offsets_;
}

int MsdDrive::reads_waiting() {
  std::lock_guard<std::mutex> hold(lock_);
  return reads_waiting_;
}

bool MsdDrive::presents(const char* path) {
  if (!strcmp(path, COMMAND_IN)) return files_.command_in;
  if (!strcmp(path, COMMAND_OUT)) return files_.command_out;
  if (!strcmp(path, STREAM)) return files_.stream;
  return false;
}

int MsdDrive::on_getattr(const char* path, struct stat* st) {
  memset(st, 0, sizeof *st);
  if (!strcmp(path, "/")) {
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (!presents(path)) return -ENOENT;
  st->st_mode = S_IFREG | 0666;
  st->st_nlink = 1;
  st->st_size = strcmp(path, STREAM) ? static_cast<off_t>(SECTOR) : STREAM_FILE_BYTES;
  return 0;
}

int MsdDrive::on_open(const char* path) {
  std::lock_guard<std::mutex> hold(lock_);
  return presents(path) ? 0 : -ENOENT;
}

int MsdDrive::on_read(const char* path, char* buffer, size_t size, int64_t offset) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!strcmp(path, COMMAND_IN)) {
    memset(buffer, 0, size);
    if (offset == 0 && !answers_.empty()) {
      const std::vector<uint8_t>& answer = answers_.front();
      memcpy(buffer, answer.data(), std::min(size, answer.size()));
    }
    return static_cast<int>(size);
  }
  if (!strcmp(path, STREAM)) {
    stream_offsets_.push_back(offset);
    ++reads_waiting_;
    released_.wait(hold, [&] { return !hold_reads_ || closing_; });
    --reads_waiting_;
    const size_t bytes = stream_read_bytes_ < 0 ? size : std::min(size, size_t(stream_read_bytes_));
    fill_ramp(buffer, bytes);
    return static_cast<int>(bytes);
  }
  memset(buffer, 0, size);  // "command.out" reads back nothing of meaning
  return static_cast<int>(size);
}

int MsdDrive::on_write(const char* path, const char* buffer, size_t size, int64_t offset) {
  std::lock_guard<std::mutex> hold(lock_);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(buffer);
  if (!strcmp(path, COMMAND_OUT)) {
    if (offset != 0 || size == 0) return static_cast<int>(size);
    commands_.emplace_back(bytes, bytes + std::min<size_t>(size, 7));
    const std::optional<AnswerReport> answer = firmware_.handle(bytes, std::min<size_t>(size, 7));
    if (answer) answers_.emplace_back(answer->begin(), answer->end());
    return static_cast<int>(size);
  }
  if (!strcmp(path, COMMAND_IN)) {
    ++answer_writes_;
    // Byte 0 cleared: the host has taken the answer; the next one shows.
    if (offset == 0 && size > 0 && bytes[0] == 0 && !answers_.empty()) {
      answers_.pop_front();
      ++acknowledgements_;
    }
    return static_cast<int>(size);
  }
  return -EACCES;
}

void MsdDrive::fill_ramp(char* buffer, size_t size) {
  const int channels = firmware_.channels_per_frame();
  const size_t frame_bytes = 4u * channels;
  memset(buffer, 0, size);
  for (size_t at = 0; at + frame_bytes <= size; at += frame_bytes, ++frame_counter_) {
    for (int c = 0; c < channels; ++c) {
      const uint16_t i = static_cast<uint16_t>(frame_counter_ + 256 * c);
      const uint16_t q = static_cast<uint16_t>(-i);
      char* sample = buffer + at + 4 * c;
      sample[0] = static_cast<char>(i);
      sample[1] = static_cast<char>(i >> 8);
      sample[2] = static_cast<char>(q);
      sample[3] = static_cast<char>(q >> 8);
    }
  }
}
