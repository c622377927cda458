#include "devsim/server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace devsim {
namespace {

constexpr std::size_t kMaxRequestBytes = 64 * 1024;

// The request line as a quoted log text: quotes, backslashes and control bytes escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

const char* Why(Ending ending) {
  switch (ending) {
    case Ending::kReset: return "reset";
    case Ending::kPeerClosed: return "by peer";
    case Ending::kStopped: return "at stop";
    default: return "by device";
  }
}

}  // namespace

Server::Server(ServerConfig config, Router router, Stats& stats, Log log, int stop_fd)
    : config_(std::move(config)), router_(std::move(router)), stats_(stats), log_(std::move(log)), stop_fd_(stop_fd) {}

Server::~Server() { Join(); }

bool Server::Start(std::string* error) {
  Address address;
  if (!ParseAddress(config_.bind, config_.port, &address, error)) return false;
  listen_fd_ = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (listen_fd_ < 0 || ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(listen_fd_, address.get(), address.length) != 0 || ::listen(listen_fd_, 16) != 0) {
    if (error) *error = "http " + FormatAddress(address.get()) + ": " + std::strerror(errno);
    if (listen_fd_ >= 0) ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  socklen_t length = sizeof address.storage;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address.storage), &length);
  address_ = FormatAddress(address.get());
  port_ = ntohs(address.family() == AF_INET ? reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port
                                            : reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port);
  log_("http " + address_);
  acceptor_ = std::thread([this] { Accept(); });
  return true;
}

void Server::Join() {
  if (acceptor_.joinable()) acceptor_.join();
  for (Worker& w : workers_) w.thread.join();
  workers_.clear();
  if (listen_fd_ >= 0) ::close(listen_fd_);
  listen_fd_ = -1;
}

void Server::Accept() {
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) break;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) continue;  // the peer gave up before we took it, or a transient shortage

    // Finished workers are joined here, so a long run does not pile up thread stacks.
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (it->done.load()) {
        it->thread.join();
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
    const std::size_t index = static_cast<std::size_t>(stats_.connections());
    const Fault fault = index < config_.faults.size() ? config_.faults[index] : config_.default_fault;
    const std::string from = FormatAddress(reinterpret_cast<const sockaddr*>(&peer));
    const int number = stats_.OnAccept(from, fault);
    std::string line = "connection " + std::to_string(number) + " from " + from;
    if (fault.kind != Fault::Kind::kNone) line += " (fault " + FaultName(fault) + ")";
    log_(line);
    Worker& worker = workers_.emplace_back();
    worker.thread = std::thread([this, fd, number, fault, &worker] {
      Serve(fd, number, fault);
      worker.done.store(true);
    });
  }
}

Ending Server::Respond(Channel& channel, int number, const Fault& fault) {
  std::string raw;
  const IoResult read = channel.ReadRequest(&raw, config_.request_idle_ms, kMaxRequestBytes);
  if (!raw.empty()) {
    stats_.OnRequest(number, raw);
    log_("request " + std::to_string(number) + " " + Quoted(RequestLine(raw)));
  }
  if (read == IoResult::kStopped) return Ending::kStopped;
  if (raw.empty()) return read == IoResult::kPeerClosed ? Ending::kPeerClosed : Ending::kGraceful;
  if (fault.kind == Fault::Kind::kStall) {
    const IoResult r = channel.WaitUntil(Clock::time_point::max());
    return r == IoResult::kStopped ? Ending::kStopped : Ending::kPeerClosed;
  }
  Request request;
  const Handler* handler = ParseRequest(raw, &request) ? router_.Find(request) : nullptr;
  if (handler == nullptr) {
    const IoResult r = channel.Send(kNotFound.data(), kNotFound.size());
    return r == IoResult::kOk ? Ending::kGraceful : r == IoResult::kStopped ? Ending::kStopped : Ending::kPeerClosed;
  }
  devsim::Exchange exchange{channel, request, fault, number, stats_};
  return (*handler)(exchange);
}

void Server::Serve(int fd, int number, Fault fault) {
  Ending ending = Ending::kGraceful;
  {
    Channel channel(fd, stop_fd_);
    if (fault.kind != Fault::Kind::kClose) ending = Respond(channel, number, fault);
    if (ending == Ending::kGraceful) channel.CloseGracefully(config_.drain_ms);
    if (ending == Ending::kReset) channel.CloseWithReset();
    if (channel.peer_closed()) stats_.OnPeerClosed(number);
  }  // a peer's or the stop's end: the channel just closes the socket
  std::uint64_t packets = 0;
  for (const ConnectionInfo& c : stats_.Connections())
    if (c.number == number) packets = c.packets;
  stats_.OnClosed(number);
  log_("connection " + std::to_string(number) + " closed after " + std::to_string(packets) + " packets (" +
       Why(ending) + ")");
}

}  // namespace devsim
