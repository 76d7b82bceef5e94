#include "udp_transport.h"

#include <utility>

namespace selvane::net {

int UdpTransport::Open(const NetworkConfig&) {
  if (socket_) return 0;
  WSADATA data;
  if (!started_ && (error_ = WSAStartup(MAKEWORD(2, 2), &data)) != 0) return error_;
  started_ = true;
  unique_any<SOCKET, &closesocket, INVALID_SOCKET> s(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  u_long nonBlocking = 1;
  const BOOL broadcast = TRUE;  // Art-Net may go to a broadcast address
  if (!s || ioctlsocket(s.get(), FIONBIO, &nonBlocking) != 0 ||
      setsockopt(s.get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast) != 0)
    return error_ = WSAGetLastError();
  socket_ = std::move(s);
  return 0;
}

SendOutcome UdpTransport::Send(const uint8_t* bytes, size_t size, const Destination& to) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(to.port);
  address.sin_addr.s_addr = htonl(to.address);
  const int sent = sendto(socket_.get(), reinterpret_cast<const char*>(bytes), static_cast<int>(size), 0,
                          reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent == static_cast<int>(size)) return SendOutcome::Sent;
  error_ = sent == SOCKET_ERROR ? WSAGetLastError() : WSAEMSGSIZE;
  return SendOutcome::Failed;
}

}  // namespace selvane::net
