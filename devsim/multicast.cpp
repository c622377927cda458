#include "devsim/multicast.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include "devsim/packets.h"

namespace devsim {
namespace {

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool ParseNumber(const std::string& text, unsigned long max, unsigned long* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() && *value <= max;
}

}  // namespace

bool ParseGroupAndPort(const std::string& text, std::string* group, std::uint16_t* port, std::string* error) {
  std::string host, digits;
  if (!text.empty() && text[0] == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return Fail(error, "'" + text + "': expected [GROUP]:PORT");
    host = text.substr(1, close - 1);
    digits = text.substr(close + 2);
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return Fail(error, "'" + text + "': expected GROUP:PORT");
    host = text.substr(0, colon);
    digits = text.substr(colon + 1);
  }
  unsigned long value = 0;
  if (!ParseNumber(digits, 65535, &value) || value == 0) return Fail(error, "'" + text + "': bad port");
  *group = host;
  *port = static_cast<std::uint16_t>(value);
  return true;
}

MulticastSender::MulticastSender(MulticastOptions options, SourceFactory source, Stats& stats, Log log, int stop_fd)
    : options_(std::move(options)), source_(std::move(source)), stats_(stats), log_(std::move(log)), stop_fd_(stop_fd) {}

MulticastSender::~MulticastSender() { Join(); }

bool MulticastSender::Configure(std::string* error) {
  const std::string where = "multicast " + options_.group + ": ";
  const int on = options_.loop ? 1 : 0;
  const int ttl = options_.ttl;
  const std::string& iface = options_.interface;
  unsigned long number = 0;
  if (group_.family() == AF_INET) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(&group_.storage);
    if (!IN_MULTICAST(ntohl(a->sin_addr.s_addr))) return Fail(error, where + "not a multicast group");
    const unsigned char loop = static_cast<unsigned char>(on);
    const unsigned char hops = static_cast<unsigned char>(ttl);
    if (::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0 ||
        ::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0)
      return Fail(error, where + std::strerror(errno));
    if (!iface.empty()) {
      ip_mreqn request{};
      if (inet_pton(AF_INET, iface.c_str(), &request.imr_address) != 1) {
        request.imr_ifindex = static_cast<int>(if_nametoindex(iface.c_str()));
        if (request.imr_ifindex == 0) return Fail(error, where + "no interface '" + iface + "'");
      }
      if (::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0)
        return Fail(error, where + "interface " + iface + ": " + std::strerror(errno));
    }
    return true;
  }
  const auto* a = reinterpret_cast<const sockaddr_in6*>(&group_.storage);
  if (!IN6_IS_ADDR_MULTICAST(&a->sin6_addr)) return Fail(error, where + "not a multicast group");
  if (::setsockopt(fd_, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &on, sizeof on) != 0 ||
      ::setsockopt(fd_, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &ttl, sizeof ttl) != 0)
    return Fail(error, where + std::strerror(errno));
  if (!iface.empty()) {
    unsigned index = 0;
    if (ParseNumber(iface, 0xFFFFFFFFul, &number)) index = static_cast<unsigned>(number);
    else index = if_nametoindex(iface.c_str());
    if (index == 0) return Fail(error, where + "no interface '" + iface + "'");
    if (::setsockopt(fd_, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index) != 0)
      return Fail(error, where + "interface " + iface + ": " + std::strerror(errno));
    // A link-scoped group needs the scope on the destination as well.
    reinterpret_cast<sockaddr_in6*>(&group_.storage)->sin6_scope_id = index;
  }
  return true;
}

bool MulticastSender::Start(std::string* error) {
  if (!ParseAddress(options_.group, options_.port, &group_, error)) return false;
  fd_ = ::socket(group_.family(), SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return Fail(error, "multicast: " + std::string(std::strerror(errno)));
  if (!Configure(error)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  log_("multicast " + FormatAddress(group_.get()));
  thread_ = std::thread([this] { Run(); });
  return true;
}

void MulticastSender::Join() {
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void MulticastSender::Run() {
  PacketStream stream(source_());
  const std::size_t size = options_.datagram_bytes == 0 ? audio::kPacketBytes : options_.datagram_bytes;
  std::vector<std::uint8_t> datagram(size, 0);
  const Clock::time_point start = Clock::now();
  bool reported = false;
  for (std::uint64_t k = 0;; ++k) {
    const Clock::time_point due = start + k * std::chrono::milliseconds(audio::kPacketMs);
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
      pollfd stop{stop_fd_, POLLIN, 0};
      const int r = ::poll(&stop, 1, left > 0 ? static_cast<int>(left) : 0);
      if (r > 0) return;
      if (left <= 0) break;
    }
    const Packet packet = stream.Next();
    std::memcpy(datagram.data(), packet.data(), std::min(size, packet.size()));
    if (::sendto(fd_, datagram.data(), size, 0, group_.get(), group_.length) == static_cast<ssize_t>(size)) {
      stats_.OnDatagram();
    } else if (!reported) {
      // No route or a down interface: say so once and keep to the schedule, as the device does.
      log_("multicast send failed: " + std::string(std::strerror(errno)));
      reported = true;
    }
  }
}

}  // namespace devsim
