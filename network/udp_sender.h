#pragma once
// The one UDP socket of a network interface library: non-blocking, made on
// first use, never bound to a port of our choosing and never read.
#include <cstdint>

#include "outgoing_packet.h"

namespace selvane::net {

class UdpSender {
 public:
  // Starts Winsock and makes the socket if there is none; 0 or a Winsock error.
  int Open();
  // 0 when the packet went out, else the Winsock error (WSAEWOULDBLOCK: buffer full).
  int Send(const OutgoingPacket& packet);
  void Close();

 private:
  uintptr_t socket_ = ~uintptr_t{0};
  bool started_ = false;
};

}  // namespace selvane::net
