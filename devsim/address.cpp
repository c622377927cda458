#include "devsim/address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace devsim {

bool ParseAddress(const std::string& literal, std::uint16_t port, Address* out, std::string* error) {
  *out = Address{};
  auto* v4 = reinterpret_cast<sockaddr_in*>(&out->storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&out->storage);
  if (inet_pton(AF_INET, literal.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    out->length = sizeof *v4;
    return true;
  }
  if (inet_pton(AF_INET6, literal.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    out->length = sizeof *v6;
    return true;
  }
  if (error) *error = "'" + literal + "' is not an IPv4 or IPv6 address";
  return false;
}

std::string FormatAddress(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(v4->sin_port));
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6->sin6_port));
  }
  return text;
}

}  // namespace devsim
