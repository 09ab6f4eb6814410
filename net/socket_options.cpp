#include "net/socket_options.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

int set_receive_buffer(int fd, int bytes) {
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  int granted = -1;
  socklen_t length = sizeof granted;
  if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) return -1;
  return granted;
}

void join_multicast_group(int fd, const char* group) {
  const unsigned char loop = 1, ttl = 1;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  in_addr any{};
  any.s_addr = htonl(INADDR_ANY);
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &any, sizeof any);
  ip_mreq membership{};
  inet_pton(AF_INET, group, &membership.imr_multiaddr);
  membership.imr_interface = any;
  setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
}

bool send_datagram_to(int fd, uint32_t address, uint16_t port, const void* data, int length) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  to.sin_port = htons(port);
  return sendto(fd, data, size_t(length), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to),
                sizeof to) == length;
}

bool datagram_pending(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) > 0 && (p.revents & POLLIN);
}
