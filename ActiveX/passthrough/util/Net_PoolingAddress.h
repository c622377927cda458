// Net_PoolingAddress: one IPv4 remote address with its port, as the 16-byte socket address
// record the stack takes: bytes 0-1 family 2 (host order), 2-3 port and 4-7 address in network
// order, 8-15 zero. Made by acquire(), set once by the control, then owned by Net_TcpClient from
// connect() on. No lock: one thread at a time, under its owner's lock.
#pragma once

#include <cstdint>

#include "passthrough/util/Net_Pooled.h"
#include "passthrough/util/Util_Log.h"
#include "platform/net.h"

class Net_PoolingAddress : public Net_Pooled {
 public:
  static constexpr int kSockAddrBytes = 16;
  static constexpr int kFamilyIPv4 = 2;

  // A new entry, its record all zero; null when memory runs out.
  static Net_PoolingAddress* acquire();

  // Family IPv4 and the port (host order). A null host gives 0.0.0.0. Otherwise the host is
  // looked up by name, then taken as dotted IPv4 text; when both fail an ERROR record
  // (location 0, "サーバを特定できません") is written and the address bytes are left as they were.
  void set(const char* host, std::uint16_t port);

  const unsigned char* sockAddr() const { return _sockAddr; }
  int sockAddrLength() const { return _sockAddrLength; }
  // The record in the platform layer's form, for connecting.
  plat::SockAddr platformAddress() const;

 private:
  Net_PoolingAddress();

  Util_Log _log;
  unsigned char _sockAddr[kSockAddrBytes] = {};
  int _sockAddrLength = kSockAddrBytes;
};
