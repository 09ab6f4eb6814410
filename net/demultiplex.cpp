#include "net/demultiplex.h"

#include <QMutexLocker>
#include <cstring>

void ChannelSelection::set_rx_mode(int code) {
  QMutexLocker lock(&rx_mode_lock);
  rx_mode_ = code;
}

int ChannelSelection::rx_mode() {
  QMutexLocker lock(&rx_mode_lock);
  return rx_mode_;
}

void ChannelSelection::set_selected_channel(int code) {
  QMutexLocker lock(&selected_channel_lock);
  selected_channel_ = code;
}

int ChannelSelection::selected_channel() {
  QMutexLocker lock(&selected_channel_lock);
  return selected_channel_;
}

void ChannelSelection::set_diversity(int on) {
  QMutexLocker lock(&diversity_lock);
  diversity_.store(on, std::memory_order_relaxed);
}

int ChannelSelection::diversity() {
  QMutexLocker lock(&diversity_lock);
  return diversity_.load(std::memory_order_relaxed);
}

void ChannelSelection::set_stream_number(int number) {
  QMutexLocker lock(&stream_number_lock);
  stream_number_ = number;
}

int ChannelSelection::stream_number() {
  QMutexLocker lock(&stream_number_lock);
  return stream_number_;
}

namespace {

bool copies_unchanged(int mode, int stream_number) {
  return mode == RX_SINGLE || mode == RX_DIVERSITY_SINGLE || stream_number != 0;
}

int frame_bytes_of(int mode) {
  return (mode == RX_DIVERSITY_QUAD || mode == RX_QUAD) ? 16 : 8;
}

int16_t word_at(const uint8_t* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

void put_word(uint8_t* p, int value) {
  p[0] = uint8_t(value);
  p[1] = uint8_t(value >> 8);
}

// Sum of every channel's I and of every channel's Q in one frame, wrapping in
// 16 bits (no scaling, no saturation).
void sum_channels(uint8_t* out, const uint8_t* frame, int frame_bytes) {
  int i = 0, q = 0;
  for (int c = 0; c < frame_bytes; c += 4) {
    i += word_at(frame + c);
    q += word_at(frame + c + 2);
  }
  put_word(out, i);
  put_word(out + 2, q);
}

}  // namespace

int channel_offset(int channel_code, int frame_bytes) {
  int offset = 0;
  switch (channel_code) {
    case 2: offset = 4; break;
    case 3: offset = 8; break;
    case 4: offset = 12; break;
    default: offset = 0; break;
  }
  return offset < frame_bytes ? offset : 0;
}

void demultiplex_frames(uint8_t* output, const uint8_t* input, int output_length,
                        ChannelSelection& selection) {
  const int mode = selection.rx_mode();
  const int channel = selection.selected_channel();
  const int stream_number = selection.stream_number();
  if (output_length <= 0) return;
  if (copies_unchanged(mode, stream_number)) {
    memcpy(output, input, size_t(output_length));
    return;
  }
  const int frame_bytes = frame_bytes_of(mode);
  const int offset = channel_offset(channel, frame_bytes);
  const int frames = output_length / 4;
  const uint8_t* frame = input;
  for (int k = 0; k < frames; ++k, frame += frame_bytes, output += 4) {
    if (selection.diversity_now() == 1)
      sum_channels(output, frame, frame_bytes);
    else
      memcpy(output, frame + offset, 4);
  }
}

int demultiplex_input_bytes(int output_length, ChannelSelection& selection) {
  if (output_length <= 0) return 0;
  if (copies_unchanged(selection.rx_mode(), selection.stream_number())) return output_length;
  return (output_length / 4) * frame_bytes_of(selection.rx_mode());
}
