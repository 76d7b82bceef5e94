#pragma once
// The UDP socket of a network interface library: non-blocking, made when a
// configuration comes into use, never bound to a port of our choosing and
// never read.
#include <winsock2.h>

#include "transport.h"
#include "unique_any.h"

namespace selvane::net {

class UdpTransport final : public Transport {
 public:
  int Open(const NetworkConfig& config) override;
  SendOutcome Send(const uint8_t* bytes, size_t size, const Destination& to) override;
  void Close() override { socket_.reset(); }
  int LastError() const override { return error_; }
  const char* Name() const override { return "UDP-Socket"; }
  const char* ErrorName() const override { return "Winsock-Fehler"; }

 private:
  unique_any<SOCKET, &closesocket, INVALID_SOCKET> socket_;
  bool started_ = false;  // Winsock; left started, since WSACleanup must not run under the loader lock
  int error_ = 0;
};

}  // namespace selvane::net
