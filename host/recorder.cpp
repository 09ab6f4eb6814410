#include "host/recorder.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "host/wav_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int BLOCK_SAMPLES = 512;
constexpr int QUEUE_BLOCKS = 2048;  // 4 MB: seconds of samples at the usual rates
// A pause in delivery longer than this counts as a gap.
constexpr double GAP_SECONDS = 0.25;

volatile std::sig_atomic_t interrupted = 0;
void on_interrupt(int) { interrupted = 1; }

// Blocks from the plug-in's stream thread to the writing thread. The
// callback only copies (the block is valid during the call only) and never
// waits for the disk; when the writer falls behind the block is counted as
// dropped.
class BlockQueue {
 public:
  BlockQueue() : storage_(size_t(QUEUE_BLOCKS) * BLOCK_SAMPLES * 4) {}

  void push(const void* data, int samples) {
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (blocks_ > 0 && std::chrono::duration<double>(now - last_block_).count() > GAP_SECONDS) ++gaps_;
    last_block_ = now;
    ++blocks_;
    if (samples > BLOCK_SAMPLES) samples = BLOCK_SAMPLES;
    if (used_ == QUEUE_BLOCKS) {
      ++dropped_;
      return;
    }
    const int slot = (head_ + used_) % QUEUE_BLOCKS;
    memcpy(&storage_[size_t(slot) * BLOCK_SAMPLES * 4], data, size_t(samples) * 4);
    counts_[slot] = samples;
    ++used_;
    ready_.notify_one();
  }

  // Waits up to `wait` for a block and copies it into `out`; 0 when none.
  int pop(uint8_t* out, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ready_.wait_for(lock, wait, [this] { return used_ > 0; })) return 0;
    const int samples = counts_[head_];
    memcpy(out, &storage_[size_t(head_) * BLOCK_SAMPLES * 4], size_t(samples) * 4);
    head_ = (head_ + 1) % QUEUE_BLOCKS;
    --used_;
    return samples;
  }

  long blocks() { std::lock_guard<std::mutex> l(mutex_); return blocks_; }
  long gaps() { std::lock_guard<std::mutex> l(mutex_); return gaps_; }
  long dropped() { std::lock_guard<std::mutex> l(mutex_); return dropped_; }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<uint8_t> storage_;
  int counts_[QUEUE_BLOCKS] = {};
  int head_ = 0, used_ = 0;
  long blocks_ = 0, gaps_ = 0, dropped_ = 0;
  Clock::time_point last_block_;
};

std::atomic<BlockQueue*> queue{nullptr};
std::atomic<int> rate_changes{0};

void record_callback(int count, int status, float, void* data) {
  if (count > 0 && data) {
    if (BlockQueue* q = queue.load()) q->push(data, count);
  } else if (status == 100) {
    ++rate_changes;
  }
}

// The receiver opened and started; stopped and closed again on the way out.
class RunningReceiver {
 public:
  explicit RunningReceiver(ExtioPlugin& plugin) : plugin_(plugin) {}
  ~RunningReceiver() {
    if (started_) plugin_.StopHW();
    if (opened_) plugin_.CloseHW();
  }
  bool open() { return opened_ = plugin_.OpenHW(); }
  int start(long lo) {
    const int result = plugin_.StartHW(int32_t(lo));
    started_ = result > 0;
    return result;
  }

 private:
  ExtioPlugin& plugin_;
  bool opened_ = false;
  bool started_ = false;
};

class Progress {
 public:
  explicit Progress(double rate) : rate_(rate), tty_(isatty(STDERR_FILENO)) {}
  void maybe_print(uint64_t samples, bool force = false) {
    const auto now = Clock::now();
    const double since = std::chrono::duration<double>(now - last_).count();
    if (!force && since < 1.0) return;
    const double current = since > 0 ? double(samples - last_samples_) / since : 0;
    fprintf(stderr, "%srecorded %6.1f s, %llu samples, current rate %.0f samples/s%s",
            tty_ ? "\r" : "", double(samples) / rate_, (unsigned long long)samples, current,
            tty_ ? "   " : "\n");
    fflush(stderr);
    last_ = now;
    last_samples_ = samples;
  }
  void end_line() {
    if (tty_) fputc('\n', stderr);
  }

 private:
  double rate_;
  bool tty_;
  Clock::time_point last_ = Clock::now();
  uint64_t last_samples_ = 0;
};

}  // namespace

int run_record(ExtioPlugin& plugin, const RecordOptions& options) {
  char name[256] = {};
  char model[256] = {};
  int type = 0;
  if (!plugin.InitHW(name, model, &type)) {
    fprintf(stderr, "extio_host: InitHW found no receiver (%s)\n", name);
    return 1;
  }
  fprintf(stderr, "receiver: %s%s, hardware type %d\n", name, model, type);

  BlockQueue blocks;
  queue = &blocks;
  signal(SIGINT, on_interrupt);
  signal(SIGTERM, on_interrupt);
  signal(SIGPIPE, SIG_IGN);  // a closed pipe shows as a failed write
  plugin.SetCallback(record_callback);

  int result = 0;
  IqWriter writer;
  uint64_t target = 0;
  std::string error;
  {
    RunningReceiver receiver(plugin);
    if (!receiver.open()) {
      fprintf(stderr, "extio_host: OpenHW failed\n");
      queue = nullptr;
      return 1;
    }
    const long lo = options.lo_frequency >= 0 ? options.lo_frequency : long(plugin.GetHWLO());
    const int block = receiver.start(lo);
    const int32_t rate = plugin.GetHWSR();
    if (block <= 0 || rate <= 0) {
      fprintf(stderr, "extio_host: %s\n",
              block <= 0 ? "StartHW failed" : "the plug-in reports no sample rate");
      queue = nullptr;
      return 1;
    }
    target = uint64_t(options.seconds * rate + 0.5);
    fprintf(stderr, "recording %.1f s (%llu samples at %d samples/s, LO %ld Hz) to %s\n",
            options.seconds, (unsigned long long)target, rate, lo,
            options.out == "-" ? "standard output (raw 16-bit I/Q)" : options.out.c_str());
    if (!writer.open(options.out, uint32_t(rate), error)) {
      fprintf(stderr, "extio_host: %s\n", error.c_str());
      queue = nullptr;
      return 1;
    }

    Progress progress(rate);
    std::vector<uint8_t> buffer(BLOCK_SAMPLES * 4);
    const auto give_up_at =
        Clock::now() + std::chrono::duration<double>(options.seconds + options.grace_seconds);
    while (writer.samples_written() < target) {
      if (interrupted) {
        result = 130;
        break;
      }
      if (Clock::now() > give_up_at) {
        fprintf(stderr, "\nextio_host: the receiver delivered too few samples in time\n");
        result = 1;
        break;
      }
      int samples = blocks.pop(buffer.data(), std::chrono::milliseconds(50));
      if (samples > 0) {
        samples = int(std::min<uint64_t>(uint64_t(samples), target - writer.samples_written()));
        if (!writer.append(buffer.data(), samples)) {
          fprintf(stderr, "\nextio_host: writing the recording failed (%s)\n",
                  writer.raw() ? "output closed" : "disk full or WAV size limit");
          result = 1;
          break;
        }
      }
      progress.maybe_print(writer.samples_written());
    }
    progress.maybe_print(writer.samples_written(), true);
    progress.end_line();
  }  // StopHW, CloseHW
  queue = nullptr;
  if (!writer.finish(error)) {
    fprintf(stderr, "extio_host: %s\n", error.c_str());
    result = 1;
  }
  fprintf(stderr,
          "summary: %ld blocks, %llu samples recorded, %ld gaps (pauses over %.0f ms), %ld blocks "
          "dropped%s%s\n",
          blocks.blocks(), (unsigned long long)writer.samples_written(), blocks.gaps(),
          GAP_SECONDS * 1000, blocks.dropped(),
          rate_changes.load() ? ", the sample rate changed while recording" : "",
          result == 130 ? ", interrupted" : "");
  if (!writer.raw() && result != 1) fprintf(stderr, "recording: %s\n", options.out.c_str());
  return result;
}
