#include "client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace devsim_test {

Client::Client(std::uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) Close();
}

Client::~Client() { Close(); }

void Client::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void Client::ShutdownSending() { ::shutdown(fd_, SHUT_WR); }

bool Client::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

ReadResult Client::Read(std::size_t n, int timeout_ms, bool stop_at_n) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeout_ms);
  ReadResult result;
  char buf[65536];
  while (result.data.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) == 0) {
      result.timed_out = true;
      break;
    }
    const std::size_t want = std::min(sizeof buf, n - result.data.size());
    const ssize_t got = ::recv(fd_, buf, want, 0);
    if (got == 0) {
      result.eof = true;
      break;
    }
    if (got < 0) {
      if (errno == EINTR) continue;
      result.error = errno;
      break;
    }
    result.data.append(buf, static_cast<std::size_t>(got));
    if (!stop_at_n) break;
  }
  return result;
}

ReadResult Client::ReadSome(int timeout_ms, std::size_t max) { return Read(max, timeout_ms, false); }
ReadResult Client::ReadExactly(std::size_t n, int timeout_ms) { return Read(n, timeout_ms, true); }
ReadResult Client::ReadToEnd(int timeout_ms, std::size_t max) { return Read(max, timeout_ms, true); }

std::size_t FindMarker(std::string_view bytes, std::size_t from) {
  return bytes.find(std::string_view("\0\0\0\x80", 4), from);
}

}  // namespace devsim_test
