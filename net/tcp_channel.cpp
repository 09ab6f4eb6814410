// The TCP control channel: one pending message, one message in
// flight, driven from the control window's thread only.
#include "net/tcp_channel.h"

#include <QPointer>
#include <QTcpSocket>
#include <cstring>

#include "usb/device_link.h"

namespace {

constexpr int WRITE_WAIT_MS = 1000;
constexpr int BUSY_TICK_LIMIT = 100;  // forced off when the count before a tick exceeds it
constexpr unsigned char TUNNEL_TYPE = 7;

MainWindow* bound_window = nullptr;
// A guarded reference: the window may replace (and release) its socket.
QPointer<QTcpSocket> registered_socket;
unsigned char pending_buffer[TCP_PENDING_CAPACITY];
int pending_length = 0;
bool busy = false;
unsigned char item_scratch[10];

void put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

void tcp_bind_window(MainWindow* window) { bound_window = window; }
void tcp_register_socket(QTcpSocket* socket) { registered_socket = socket; }

void tcp_send(const unsigned char* bytes, int length) {
  // 1. The newest message replaces whatever is pending.
  if (length > 0) {
    if (!bytes) {
      pending_length = 0;
      return;
    }
    pending_length = length < TCP_PENDING_CAPACITY ? length : TCP_PENDING_CAPACITY;
    memcpy(pending_buffer, bytes, pending_length);
  }
  // 2-5. Only when bound, idle, registered, connected and something waits.
  if (!bound_window || busy) return;
  QTcpSocket* socket = registered_socket.data();
  if (!socket) return;
  if (socket->state() != QAbstractSocket::ConnectedState) return;
  if (pending_length == 0) return;
  // 6-7. One message in flight until the receiver sends anything back.
  busy = true;
  const int length_to_write = pending_length;
  pending_length = 0;  // taken now: a reply seen while waiting below must not resend it
  socket->write(reinterpret_cast<const char*>(pending_buffer), length_to_write);
  socket->flush();
  if (socket->bytesToWrite() > 0) socket->waitForBytesWritten(WRITE_WAIT_MS);
}

void tcp_send_packet_size(int flag) {
  unsigned char* m = item_scratch;
  m[0] = 5, m[1] = 0, m[2] = 0xC4, m[3] = 0, m[4] = static_cast<unsigned char>(flag);
  tcp_send(m, 5);
}

void tcp_send_run_state(int state) {
  unsigned char* m = item_scratch;
  m[0] = 8, m[1] = 0, m[2] = 0x18, m[3] = 0, m[4] = 0x80, m[5] = static_cast<unsigned char>(state);
  m[6] = 0, m[7] = 0;
  tcp_send(m, 8);
}

void tcp_send_sample_rate(uint32_t rate) {
  unsigned char* m = item_scratch;
  m[0] = 9, m[1] = 0, m[2] = 0xB8, m[3] = 0, m[4] = 0;
  put32(m + 5, rate);
  tcp_send(m, 9);
}

void tcp_send_frequency(uint32_t frequency, uint8_t channel) {
  unsigned char* m = item_scratch;
  m[0] = 10, m[1] = 0, m[2] = 0x20, m[3] = 0, m[4] = channel;
  put32(m + 5, frequency);
  m[9] = 0;
  tcp_send(m, 10);
}

void tcp_clear_busy() { busy = false; }
bool tcp_is_busy() { return busy; }

int tcp_pending(const unsigned char** bytes) {
  if (bytes) *bytes = pending_buffer;
  return pending_length;
}

void tcp_take_received(const unsigned char* chunk, int length) {
  if (chunk && length > 1 && (chunk[1] >> 5) == TUNNEL_TYPE) {
    const int n = length < TUNNEL_ANSWER_SLOT_BYTES ? length : TUNNEL_ANSWER_SLOT_BYTES;
    memcpy(tunnel_answer_slot, chunk, n);
  }
  busy = false;
}

bool tcp_poll_service(QTcpSocket* socket, int* busy_ticks) {
  if (!socket) return true;
  if (socket->state() == QAbstractSocket::UnconnectedState) {
    tcp_clear_busy();
    return true;
  }
  if (busy) {
    const int before = (*busy_ticks)++;
    if (before > BUSY_TICK_LIMIT) {
      tcp_clear_busy();
      *busy_ticks = 0;
    }
    return false;
  }
  tcp_send(nullptr, 0);
  return true;
}
