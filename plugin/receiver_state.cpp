#include "plugin/receiver_state.h"

#include <QMutexLocker>

void ReceiverState::call_host(int count, int status, float iq_offset, void* data) {
  QMutexLocker lock(&callback_lock);
  HostCallback cb = host_callback.load();
  if (cb) cb(count, status, iq_offset, data);
}

void ReceiverState::set_att_index(int32_t v) {
  QMutexLocker lock(&att_lock);
  att_index_ = v;
}

int32_t ReceiverState::att_index() {
  QMutexLocker lock(&att_lock);
  return att_index_;
}

void ReceiverState::set_sample_rate(int32_t v) {
  QMutexLocker lock(&sample_rate_lock);
  sample_rate_ = v;
}

int32_t ReceiverState::sample_rate() {
  QMutexLocker lock(&sample_rate_lock);
  return sample_rate_;
}

void ReceiverState::set_lo_frequency(int32_t v) {
  QMutexLocker lock(&lo_lock);
  lo_frequency_ = v;
}

int32_t ReceiverState::lo_frequency() {
  QMutexLocker lock(&lo_lock);
  return lo_frequency_;
}

void ReceiverState::set_channel_index(int32_t code) {
  QMutexLocker lock(&channel_lock);
  channel_index_.store(code);
}

int32_t ReceiverState::channel_index() {
  QMutexLocker lock(&channel_lock);
  return channel_index_.load();
}

// A code outside 0..4 would index past the array; such a code never comes
// from the window, but the host must not be able to corrupt memory with it.
int ReceiverState::slot_of(int32_t code) {
  return (code >= 0 && code < CHANNEL_SLOTS) ? code : 0;
}

void ReceiverState::set_tune(int32_t v) {
  QMutexLocker lock(&tune_lock);
  tune_[slot_of(channel_index_.load())] = v;
}

int32_t ReceiverState::tune() {
  QMutexLocker lock(&tune_lock);
  return tune_[slot_of(channel_index_.load())];
}
