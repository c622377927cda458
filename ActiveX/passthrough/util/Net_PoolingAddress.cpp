#include "passthrough/util/Net_PoolingAddress.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t kNoAddress = 0xFFFFFFFF;  // what ParseIPv4 gives for bad text

// The first IPv4 address a name look-up gives, in network order; false when there is none.
bool LookUp(const char* host, std::uint32_t* address_be) {
  plat::ResolveHints hints;
  hints.family = plat::Family::kInet;
  std::vector<plat::AddrInfo> found;
  if (plat::Resolve(host, nullptr, hints, &found) != 0 || found.empty()) return false;
  char numeric[64] = {};
  plat::FormatAddress(found.front().addr, numeric, sizeof numeric);
  *address_be = plat::ParseIPv4(numeric);
  return *address_be != kNoAddress || std::strcmp(numeric, "255.255.255.255") == 0;
}

}  // namespace

Net_PoolingAddress* Net_PoolingAddress::acquire() { return new (std::nothrow) Net_PoolingAddress; }

Net_PoolingAddress::Net_PoolingAddress() {
  _log.setName("Net_PoolingAddress", "", true);
  _log.setLevel(LOG_ALL);
}

void Net_PoolingAddress::set(const char* host, std::uint16_t port) {
  _sockAddr[0] = kFamilyIPv4;
  _sockAddr[1] = 0;
  _sockAddr[2] = static_cast<unsigned char>(port >> 8);
  _sockAddr[3] = static_cast<unsigned char>(port & 0xFF);
  std::uint32_t address_be = 0;  // 0.0.0.0
  if (host != nullptr && !LookUp(host, &address_be)) {
    // A look-up by name already takes dotted text; this covers a resolver that does not. The
    // address is then used as written, without asking for its host entry.
    address_be = plat::ParseIPv4(host);
    if (address_be == kNoAddress) {
      _log.error(0, "サーバを特定できません");
      return;
    }
  }
  std::memcpy(_sockAddr + 4, &address_be, sizeof address_be);
}

plat::SockAddr Net_PoolingAddress::platformAddress() const {
  std::uint32_t address_be = 0;
  std::memcpy(&address_be, _sockAddr + 4, sizeof address_be);
  const auto port = static_cast<std::uint16_t>((_sockAddr[2] << 8) | _sockAddr[3]);
  return plat::MakeIPv4Address(address_be, port);
}
