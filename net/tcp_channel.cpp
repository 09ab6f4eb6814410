// Until the channel's transmission lands, messages are only kept as pending:
// the channel behaves as one that is bound to no window, which transmits
// nothing and keeps the latest message.
#include "net/tcp_channel.h"

#include <cstring>

namespace {
unsigned char pending_buffer[TCP_PENDING_CAPACITY];
int pending_length = 0;
bool busy = false;

void send_item(const unsigned char* bytes, int length) { tcp_send(bytes, length); }
}  // namespace

void tcp_bind_window(MainWindow*) {}
void tcp_register_socket(QTcpSocket*) {}

void tcp_send(const unsigned char* bytes, int length) {
  if (length <= 0) return;
  if (!bytes) {
    pending_length = 0;
    return;
  }
  pending_length = length < TCP_PENDING_CAPACITY ? length : TCP_PENDING_CAPACITY;
  memcpy(pending_buffer, bytes, pending_length);
}

void tcp_send_packet_size(int flag) {
  const unsigned char item[5] = {5, 0, 0xC4, 0, static_cast<unsigned char>(flag)};
  send_item(item, sizeof item);
}

void tcp_send_run_state(int state) {
  const unsigned char item[8] = {8, 0, 0x18, 0, 0x80, static_cast<unsigned char>(state), 0, 0};
  send_item(item, sizeof item);
}

void tcp_send_sample_rate(uint32_t rate) {
  const unsigned char item[9] = {9, 0, 0xB8, 0, 0,
                                 static_cast<unsigned char>(rate), static_cast<unsigned char>(rate >> 8),
                                 static_cast<unsigned char>(rate >> 16), static_cast<unsigned char>(rate >> 24)};
  send_item(item, sizeof item);
}

void tcp_send_frequency(uint32_t frequency, uint8_t channel) {
  const unsigned char item[10] = {10, 0, 0x20, 0, channel,
                                  static_cast<unsigned char>(frequency),
                                  static_cast<unsigned char>(frequency >> 8),
                                  static_cast<unsigned char>(frequency >> 16),
                                  static_cast<unsigned char>(frequency >> 24), 0};
  send_item(item, sizeof item);
}

void tcp_clear_busy() { busy = false; }
bool tcp_is_busy() { return busy; }

int tcp_pending(const unsigned char** bytes) {
  if (bytes) *bytes = pending_buffer;
  return pending_length;
}
