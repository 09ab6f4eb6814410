// The TCP control channel to a network receiver: item messages that set one
// control item each, and device-tunnel messages that carry command reports to
// the receiver and its answers back. One message is in flight at a time; a
// newer pending message replaces an older one. Every operation runs on the
// control window's thread.
#pragma once

#include <cstdint>

class MainWindow;
class QTcpSocket;

constexpr int TCP_PENDING_CAPACITY = 1024;

// Binds the channel to the control window (nullptr unbinds); while unbound
// nothing is transmitted.
void tcp_bind_window(MainWindow* window);
// The connected control socket, the only one the channel writes to.
void tcp_register_socket(QTcpSocket* socket);

// Stores `length` bytes (at most TCP_PENDING_CAPACITY) as the pending message
// and transmits it if the channel is idle and connected. With no bytes or a
// length of 0 or less it only tries to transmit what is pending.
void tcp_send(const unsigned char* bytes, int length);

void tcp_send_packet_size(int flag);    // item 0x00C4: 1 = small UDP packets
void tcp_send_run_state(int state);     // item 0x0018: 2 = run, 1 = stop
void tcp_send_sample_rate(uint32_t rate);                      // item 0x00B8
void tcp_send_frequency(uint32_t frequency, uint8_t channel);  // item 0x0020

void tcp_clear_busy();
bool tcp_is_busy();

// The message waiting to be transmitted: its length (0 = none), and its bytes
// through `bytes` when given.
int tcp_pending(const unsigned char** bytes);

// What readTCPdata() read from the socket in one go: a chunk of type 7 (byte 1
// >> 5 == 7, more than one byte) goes into tunnel_answer_slot, at most 32
// bytes of it; any chunk clears busy.
void tcp_take_received(const unsigned char* chunk, int length);

// The status poll's service of the channel on each 20 ms tick (network mode,
// window has a socket): an unconnected socket clears busy; a busy channel
// counts the tick in *busy_ticks (forced idle, counter reset, once the count
// before the tick exceeds 100) and ends the tick; an idle one transmits what
// is pending. Returns false when the rest of the tick must not run.
bool tcp_poll_service(QTcpSocket* socket, int* busy_ticks);
