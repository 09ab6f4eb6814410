// The process-wide record that the host's entry points, the control window and
// the two sample-stream threads share. Every member has its own mutex and no
// operation takes two of them, so they cannot deadlock with each other.
#pragma once

#include <QMutex>
#include <atomic>
#include <cstdint>

using HostCallback = void (*)(int count, int status, float iq_offset, void* data);

constexpr int SAMPLES_PER_BLOCK = 512;
constexpr int BLOCK_BYTES = SAMPLES_PER_BLOCK * 4;  // I and Q, 16 bits each
constexpr int STATUS_SAMPLE_RATE_CHANGED = 100;
constexpr int STATUS_LO_CHANGED = 101;
constexpr int STATUS_ATTENUATOR_CHANGED = 125;
constexpr int CHANNEL_SLOTS = 5;  // channel codes 0, 2, 3, 4 (1 is unused)

class ReceiverState {
 public:
  // Calls the host's callback under callback_lock, so that sample blocks and
  // status notices from different threads never overlap. No callback: nothing.
  void call_host(int count, int status, float iq_offset, void* data);
  void notify_host(int status) { call_host(-1, status, 0.0f, nullptr); }

  void set_host_callback(HostCallback cb) { host_callback.store(cb); }

  void set_att_index(int32_t v);
  int32_t att_index();
  void set_sample_rate(int32_t v);
  int32_t sample_rate();
  void set_lo_frequency(int32_t v);
  int32_t lo_frequency();
  void set_channel_index(int32_t code);
  int32_t channel_index();
  // The slot of the currently selected channel.
  void set_tune(int32_t v);
  int32_t tune();

  void set_gui_hidden(int32_t v) { gui_hidden_.store(v, std::memory_order_relaxed); }
  int32_t gui_hidden() const { return gui_hidden_.load(std::memory_order_relaxed); }
  void set_run_request(int32_t v) { run_request_.store(v, std::memory_order_relaxed); }
  int32_t run_request() const { return run_request_.load(std::memory_order_relaxed); }

 private:
  static int slot_of(int32_t code);

  std::atomic<HostCallback> host_callback{nullptr};
  QMutex callback_lock;
  QMutex att_lock;
  QMutex sample_rate_lock;
  QMutex tune_lock;
  QMutex lo_lock;
  QMutex channel_lock;
  int32_t att_index_ = 0;
  std::atomic<int32_t> gui_hidden_{0};
  std::atomic<int32_t> run_request_{0};
  int32_t sample_rate_ = 0;
  int32_t tune_[CHANNEL_SLOTS] = {0, 0, 0, 0, 0};
  // Written under channel_lock, read under tune_lock: a single word, atomic so
  // that the unlocked read is well defined.
  std::atomic<int32_t> channel_index_{0};
  int32_t lo_frequency_ = 0;
};

// The one instance, constructed at library load.
ReceiverState& receiver_state();
