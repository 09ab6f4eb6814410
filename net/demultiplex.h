// Channel selection and diversity sum of the receiver's sample data, shared by
// the UDP receive thread and the mass-storage reader thread.
//
// Input is the receiver's frame layout: signed 16-bit little-endian values; in
// single-channel modes one (I, Q) pair per 4-byte frame, in dual-channel modes
// 8-byte frames (channel 1 first), in quad-channel modes 16-byte frames.
// Output is always 4-byte (I, Q) samples for the host.
#pragma once

#include <QMutex>
#include <atomic>
#include <cstdint>

// RX mode codes of the receiver.
enum RxMode : int {
  RX_SINGLE = 0,
  RX_DIVERSITY_DUAL = 1,
  RX_DUAL = 2,
  RX_DIVERSITY_SINGLE = 3,
  RX_DIVERSITY_QUAD = 4,
  RX_QUAD = 5,
};

// The four values that steer the demultiplexer. Each stream thread owns one;
// the window writes them from its thread. Every value has its own mutex and
// no operation takes two of them.
class ChannelSelection {
 public:
  void set_rx_mode(int code);
  int rx_mode();
  void set_selected_channel(int code);  // channel code 0, 2, 3 or 4
  int selected_channel();
  void set_diversity(int on);  // 1 = output the sum of the channels
  int diversity();
  void set_stream_number(int number);  // 0..4; nonzero = data already one channel
  int stream_number();

  // The diversity flag as the demultiplexer reads it for every frame, so that
  // a change takes effect at the next frame without a lock per frame.
  int diversity_now() const { return diversity_.load(std::memory_order_relaxed); }

 private:
  QMutex rx_mode_lock;
  QMutex selected_channel_lock;
  QMutex diversity_lock;
  QMutex stream_number_lock;
  int rx_mode_ = 0;
  int selected_channel_ = 0;
  std::atomic<int> diversity_{0};
  int stream_number_ = 0;
};

// Byte offset of a channel's (I, Q) pair within a frame of `frame_bytes`.
// A channel that the frame does not hold (channel 3 or 4 of a dual-channel
// frame) reads channel 1, so that no read leaves the frame.
int channel_offset(int channel_code, int frame_bytes);

// Writes `output_length` bytes of host samples to `output` from the frames at
// `input`, as `selection` says:
// - modes 0 and 3, or a nonzero stream number: the bytes are copied unchanged;
// - otherwise one output sample per input frame (output_length / 4 of them,
//   a remainder of the length is left unwritten): the selected channel's pair,
//   or with diversity the sum of all channels' I and of all Q values, wrapping
//   in 16 bits. Input consumed: 2 bytes per output byte in modes 1 and 2, 4 in
//   modes 4 and 5 (and 2 for any other code).
void demultiplex_frames(uint8_t* output, const uint8_t* input, int output_length,
                        ChannelSelection& selection);

// Input bytes that demultiplex_frames consumes for `output_length` bytes of
// output under the current selection (the mass-storage reader needs it when
// it splits a read at the end of its ring).
int demultiplex_input_bytes(int output_length, ChannelSelection& selection);
