// Numeric socket addresses: the device never looks names up, so only literals are taken.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace devsim {

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int family() const { return storage.ss_family; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// An IPv4 or IPv6 literal ("127.0.0.1", "::1", "ff15::1") and a port.
bool ParseAddress(const std::string& literal, std::uint16_t port, Address* out, std::string* error);
// "127.0.0.1:80" or "[::1]:80".
std::string FormatAddress(const sockaddr* address);

}  // namespace devsim
