// Socket options of the UDP data socket, on its descriptor.
#pragma once

#include <cstdint>

// The multicast group the receiver streams to when multicast is on.
constexpr const char* RECEIVER_MULTICAST_GROUP = "238.255.0.2";

// Asks for a receive buffer of `bytes`: SO_RCVBUFFORCE where the process may
// exceed net.core.rmem_max, else SO_RCVBUF, which the kernel caps at
// rmem_max. Returns what the kernel granted as getsockopt reports it (twice
// the usable request: the kernel counts its own bookkeeping), or -1.
int set_receive_buffer(int fd, int bytes);

// Multicast loopback 1, TTL 1, interface any, then membership of `group` on
// interface any, in that order. Errors are ignored (no multicast route is not
// a reason to stop receiving unicast data).
void join_multicast_group(int fd, const char* group);

// Sends `length` bytes to IPv4 `address` (host byte order) : `port`.
// Returns true when the datagram was handed to the kernel.
bool send_datagram_to(int fd, uint32_t address, uint16_t port, const void* data, int length);

// Waits up to `timeout_ms` for a datagram to be pending on `fd`.
bool datagram_pending(int fd, int timeout_ms);
