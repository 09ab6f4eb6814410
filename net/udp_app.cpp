#include "net/udp_app.h"

#include <sys/socket.h>

#include <QMutexLocker>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "net/socket_options.h"
#include "plugin/receiver_state.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int START_TRIES = 10;
constexpr auto START_WAIT = 100ms;
constexpr auto WAIT_SLICE = 10ms;  // how soon a stop request ends a wait
constexpr auto IDLE_SLEEP = 200us;
// A stop request normally ends the thread at the first moment no datagram is
// waiting; a flood that never leaves such a moment must not keep it alive.
constexpr auto STOP_UNDER_FLOOD = 250ms;

constexpr uint8_t SHORT_HEADER = 4;
constexpr uint8_t EXTENDED_HEADER = 24;
constexpr int EXTENDED_EXTRA_BYTES = 16;
constexpr int DATAGRAM_BUFFER_BYTES = 2088;

int32_t le32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// Several datagrams per system call; each slot holds the largest datagram
// the reader ever needs, and longer ones are cut to it.
class DatagramBatch {
 public:
  static constexpr int COUNT = 32;

  DatagramBatch() : storage_(size_t(COUNT) * DATAGRAM_BUFFER_BYTES) {
    for (int i = 0; i < COUNT; ++i) {
      iov_[i].iov_base = storage_.data() + size_t(i) * DATAGRAM_BUFFER_BYTES;
      iov_[i].iov_len = DATAGRAM_BUFFER_BYTES;
      msgs_[i] = {};
      msgs_[i].msg_hdr.msg_iov = &iov_[i];
      msgs_[i].msg_hdr.msg_iovlen = 1;
    }
  }

  // Datagrams now waiting, without blocking: their count, 0, or -1 (errno).
  int receive(int fd) { return recvmmsg(fd, msgs_, COUNT, MSG_DONTWAIT, nullptr); }
  const uint8_t* data(int i) const { return static_cast<const uint8_t*>(iov_[i].iov_base); }
  int length(int i) const { return int(msgs_[i].msg_len); }

 private:
  std::vector<uint8_t> storage_;
  iovec iov_[COUNT];
  mmsghdr msgs_[COUNT];
};

bool transient_receive_error(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ECONNREFUSED;
}

uint32_t ipv4_of(const QHostAddress& address, bool* ok) { return address.toIPv4Address(ok); }

}  // namespace

// What one run of the thread keeps: sizes taken at its start, the extra
// header length and output length as datagrams change them, and the buffer
// each datagram is read into. Bytes beyond a datagram's read size keep the
// buffer's earlier content, as the first extended-header datagram of a run
// (read at the short size) relies on.
struct UDP_App::Run {
  explicit Run(int read) : read_size(read), payload(read - 4) {}
  const int read_size;
  const int payload;
  int extra = 0;
  int output_length = 1024;
  alignas(8) uint8_t buffer[DATAGRAM_BUFFER_BYTES] = {};
};

UDP_App::UDP_App() = default;

UDP_App::~UDP_App() {
  request_stop();
  wait(2000);
  runs_ended.load(std::memory_order_acquire);
}

void UDP_App::set_broadcast_flag(int on) {
  QMutexLocker lock(&broadcast_flag_lock);
  broadcast_flag_ = on;
}

int UDP_App::broadcast_flag() {
  QMutexLocker lock(&broadcast_flag_lock);
  return broadcast_flag_;
}

void UDP_App::set_peer_address(const QHostAddress& address) {
  QMutexLocker lock(&peer_address_lock);
  peer_address_ = address;
}

QHostAddress UDP_App::peer_address() {
  QMutexLocker lock(&peer_address_lock);
  return peer_address_;
}

void UDP_App::request_stop() {
  int expected = STOP_NONE;
  stop_request.compare_exchange_strong(expected, STOP_REQUESTED);
}

// The thread takes the request only once, so that start_stream can tell a
// thread that goes on running from one that is already on its way out.
bool UDP_App::claim_stop() {
  int expected = STOP_REQUESTED;
  return stop_request.compare_exchange_strong(expected, STOP_ENDING);
}

template <typename Send, typename Arrived>
void UDP_App::ask_for_stream(Send send, Arrived arrived_within) {
  for (int attempt = 0; attempt < START_TRIES; ++attempt) {
    if (!send()) return;
    const Clock::time_point until = Clock::now() + START_WAIT;
    while (Clock::now() < until) {
      if (arrived_within(WAIT_SLICE) || stop_requested()) return;
    }
  }
}

bool UDP_App::send_through_running_socket(uint32_t address, uint16_t to_port) {
  std::lock_guard<std::mutex> lock(socket_lock);
  if (socket_fd < 0) return false;
  send_datagram_to(socket_fd, address, to_port, stream_start_datagram, sizeof stream_start_datagram);
  return true;
}

void UDP_App::start_stream() {
  const int previous = stop_request.exchange(STOP_NONE);
  if (previous == STOP_ENDING) {
    // The last run has already taken its stop and is closing its socket;
    // starting now would find it still running and start nothing.
    wait(1000);
  } else if (broadcast_flag() == 0 && isRunning()) {
    bool ok = false;
    const uint32_t address = ipv4_of(peer_address(), &ok);
    const uint16_t to_port = port.load();
    const unsigned before = datagrams_taken.load();
    ask_for_stream(
        [&] { return ok && send_through_running_socket(address, to_port); },
        [&](std::chrono::milliseconds slice) {
          std::this_thread::sleep_for(slice);
          return datagrams_taken.load() != before;
        });
  }
  start(QThread::InheritPriority);
}

void UDP_App::run() {
  receive_one_run();
  runs_ended.fetch_add(1, std::memory_order_acq_rel);
}

namespace {
int read_size_for(int small_packets) { return small_packets == 1 ? 516 : 1028; }
}  // namespace

UDP_App::DatagramFeed::DatagramFeed(UDP_App& app)
    : app_(app), run_(new Run(read_size_for(app.small_packets.load()))) {
  run_->extra = app.broadcast_flag() == 1 ? EXTENDED_EXTRA_BYTES : 0;
}

UDP_App::DatagramFeed::~DatagramFeed() { delete run_; }

void UDP_App::DatagramFeed::take(const uint8_t* data, int length) { app_.take_datagram(*run_, data, length); }

void UDP_App::receive_one_run() {
  Run run(read_size_for(small_packets.load()));
  QUdpSocket socket;
  if (!socket.bind(QHostAddress::AnyIPv4, port.load(),
                   QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
    return;
  const int fd = int(socket.socketDescriptor());
  // Before the handshake: the receiver streams from the first start datagram
  // on, and the default buffer would overflow during the first wait.
  granted_buffer.store(set_receive_buffer(fd, receive_buffer_bytes.load()));
  if (multicast.load() == 1) join_multicast_group(fd, RECEIVER_MULTICAST_GROUP);
  {
    std::lock_guard<std::mutex> lock(socket_lock);
    socket_fd = fd;
  }

  // Sent whatever the broadcast flag says.
  bool ok = false;
  const uint32_t address = ipv4_of(peer_address(), &ok);
  const uint16_t to_port = port.load();
  ask_for_stream(
      [&] {
        if (ok) send_datagram_to(fd, address, to_port, stream_start_datagram, sizeof stream_start_datagram);
        return true;
      },
      [&](std::chrono::milliseconds slice) { return datagram_pending(fd, int(slice.count())); });

  run.extra = broadcast_flag() == 1 ? EXTENDED_EXTRA_BYTES : 0;
  receive_datagrams(run, fd, socket);

  {
    std::lock_guard<std::mutex> lock(socket_lock);
    socket_fd = -1;
  }
  socket.close();
}

void UDP_App::receive_datagrams(Run& run, int fd, const QUdpSocket& socket) {
  DatagramBatch batch;
  bool stop_noted = false;
  Clock::time_point stop_seen;
  while (socket.state() == QAbstractSocket::BoundState) {
    const int count = batch.receive(fd);
    if (count > 0) {
      for (int i = 0; i < count; ++i) take_datagram(run, batch.data(i), batch.length(i));
      if (!stop_requested()) {
        stop_noted = false;
      } else if (!stop_noted) {
        stop_noted = true;
        stop_seen = Clock::now();
      } else if (Clock::now() - stop_seen > STOP_UNDER_FLOOD && claim_stop()) {
        return;
      }
      continue;
    }
    if (count < 0 && !transient_receive_error(errno)) return;  // the socket is gone
    if (claim_stop()) return;
    std::this_thread::sleep_for(IDLE_SLEEP);
  }
}

namespace {

// Output bytes per datagram for an RX mode; a code outside 0..5 keeps the
// previous length.
int output_length_for(int mode, int payload, int previous, ChannelSelection& selection) {
  switch (mode) {
    case RX_SINGLE:
    case RX_DIVERSITY_SINGLE: return payload;
    case RX_DIVERSITY_DUAL:
    case RX_DUAL: return selection.stream_number() != 0 ? payload : payload / 2;
    case RX_DIVERSITY_QUAD:
    case RX_QUAD: return payload / 4;
    default: return previous;
  }
}

}  // namespace

void UDP_App::take_datagram(Run& run, const uint8_t* data, int length) {
  run.output_length = output_length_for(selection.rx_mode(), run.payload, run.output_length, selection);
  const int read_limit = run.read_size + run.extra;
  // A short-header datagram needs only the short size, also after extended
  // headers: it ends the extra length, and the stream could not switch back
  // to short headers otherwise. Any other datagram shorter than needed is
  // dropped, so that it cannot hold up the datagrams behind it.
  const int needed = (length > 0 && data[0] == SHORT_HEADER) ? run.read_size : read_limit;
  if (length < needed) return;
  memcpy(run.buffer, data, size_t(std::min(length, read_limit)));  // a longer one is cut

  const uint8_t kind = run.buffer[0];
  header_kind.store(kind);
  int sample_offset;
  if (kind == SHORT_HEADER) {
    stream_rx_mode.store(0);
    sample_offset = 4;
    run.extra = 0;
  } else if (kind == EXTENDED_HEADER) {
    sample_offset = 20;
    run.extra = EXTENDED_EXTRA_BYTES;
  } else {
    sample_offset = run.extra + 4;
  }
  write_to_ring(run, sample_offset);
  hand_off_blocks();
  packet_count.fetch_add(1);
  datagrams_taken.fetch_add(1);
  if (kind == EXTENDED_HEADER) publish_header(run.buffer);
}

// A datagram's output never crosses the end of the ring: when it would not
// fit, writing starts again at offset 0.
void UDP_App::write_to_ring(Run& run, int sample_offset) {
  if (ring_write > UDP_RING_BYTES - run.output_length) ring_write = 0;
  const int at = ring_write;
  ring_write = at + run.output_length;
  demultiplex_frames(udp_ring + at, run.buffer + sample_offset, run.output_length, selection);
}

void UDP_App::hand_off_blocks() {
  while (((ring_write - ring_read) & (UDP_RING_BYTES - 1)) >= BLOCK_BYTES) {
    const int block = ring_read;
    ring_read = block + BLOCK_BYTES > UDP_RING_BYTES - 1 ? 0 : block + BLOCK_BYTES;
    receiver_state().call_host(SAMPLES_PER_BLOCK, 0, 0.0f, udp_ring + block);
  }
}

void UDP_App::publish_header(const uint8_t* header) {
  stream_rx_mode.store(int8_t(header[6]));
  header_sample_rate.store(le32(header + 8));
  header_frequency_ch1.store(le32(header + 12));
  header_frequency_ch2.store(le32(header + 16));
}

UDP_App& udp_app() {
  static UDP_App instance;
  return instance;
}

namespace {
// Constructed at library load like the other process-wide objects, not at
// first use.
[[maybe_unused]] UDP_App& constructed_at_load = udp_app();
}  // namespace
