#include "udp_sender.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace selvane::net {

int UdpSender::Open() {
  if (socket_ != INVALID_SOCKET) return 0;
  if (!started_) {
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data)) return error;
    started_ = true;
  }
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return WSAGetLastError();
  u_long nonBlocking = 1;
  const BOOL broadcast = TRUE;  // Art-Net may go to a broadcast address
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    return error;
  }
  socket_ = s;
  return 0;
}

int UdpSender::Send(const OutgoingPacket& packet) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(packet.port);
  to.sin_addr.s_addr = htonl(packet.address);
  const int sent = sendto(socket_, reinterpret_cast<const char*>(packet.bytes), static_cast<int>(packet.size), 0,
                          reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (sent == SOCKET_ERROR) return WSAGetLastError();
  return sent == static_cast<int>(packet.size) ? 0 : WSAEMSGSIZE;
}

void UdpSender::Close() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

}  // namespace selvane::net
