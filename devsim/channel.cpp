#include "devsim/channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace devsim {
namespace {

bool PeerGone(int err) { return err == ECONNRESET || err == EPIPE || err == ETIMEDOUT; }

}  // namespace

const char* EndingText(Ending ending) {
  switch (ending) {
    case Ending::kReset: return "reset";
    case Ending::kPeerClosed: return "by peer";
    case Ending::kStopped: return "at stop";
    default: return "by device";
  }
}

Ending EndingOf(IoResult result) {
  switch (result) {
    case IoResult::kStopped: return Ending::kStopped;
    case IoResult::kPeerClosed: return Ending::kPeerClosed;
    default: return Ending::kGraceful;
  }
}

Channel::~Channel() { Close(); }

void Channel::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

IoResult Channel::Poll(short events, int timeout_ms, short* revents) {
  pollfd fds[2] = {{fd_, events, 0}, {stop_fd_, POLLIN, 0}};
  for (;;) {
    const int r = ::poll(fds, 2, timeout_ms);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return IoResult::kError;
    if (fds[1].revents != 0) return IoResult::kStopped;
    *revents = fds[0].revents;
    return IoResult::kOk;
  }
}

IoResult Channel::Discard() {
  char scratch[4096];
  for (;;) {
    const ssize_t got = ::recv(fd_, scratch, sizeof scratch, 0);
    if (got > 0) continue;
    if (got == 0) {
      peer_closed_ = true;
      return IoResult::kPeerClosed;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return IoResult::kOk;
    peer_closed_ = PeerGone(errno) || peer_closed_;
    return peer_closed_ ? IoResult::kPeerClosed : IoResult::kError;
  }
}

IoResult Channel::ReadRequest(std::string* raw, int idle_ms, std::size_t max_bytes) {
  raw->clear();
  char buf[4096];
  while (raw->size() < max_bytes) {
    short revents = 0;
    const IoResult r = Poll(POLLIN, raw->empty() ? -1 : idle_ms, &revents);
    if (r != IoResult::kOk) return r;
    if (revents == 0) return IoResult::kOk;  // the peer sends nothing more
    // Peek first, so that only the request itself is taken off the socket.
    const std::size_t room = std::min(sizeof buf, max_bytes - raw->size());
    const ssize_t got = ::recv(fd_, buf, room, MSG_PEEK);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      if (PeerGone(errno)) peer_closed_ = true;
      return peer_closed_ ? IoResult::kPeerClosed : IoResult::kError;
    }
    if (got == 0) {
      if (raw->empty()) {
        peer_closed_ = true;
        return IoResult::kPeerClosed;
      }
      peer_done_sending_ = true;
      return IoResult::kOk;
    }
    const std::size_t before = raw->size();
    raw->append(buf, static_cast<std::size_t>(got));
    const std::size_t from = before < 3 ? 0 : before - 3;
    const std::size_t blank = raw->find("\r\n\r\n", from);
    std::size_t take = static_cast<std::size_t>(got);
    if (blank != std::string::npos) {
      raw->resize(blank + 4);
      take = raw->size() - before;
    }
    while (take > 0) {
      const ssize_t n = ::recv(fd_, buf, take, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return IoResult::kError;  // peeked bytes are always there to take
      take -= static_cast<std::size_t>(n);
    }
    if (blank != std::string::npos) return IoResult::kOk;
  }
  return IoResult::kOk;
}

IoResult Channel::ReadSome(std::string* chunk, Clock::time_point deadline, std::size_t max_bytes) {
  chunk->clear();
  char buf[4096];
  for (;;) {
    short revents = 0;
    const int timeout = MsUntil(deadline);
    const IoResult r = Poll(POLLIN, timeout, &revents);
    if (r != IoResult::kOk) return r;
    if (revents == 0) {
      if (timeout == 0 || Clock::now() >= deadline) return IoResult::kOk;
      continue;
    }
    const ssize_t got = ::recv(fd_, buf, std::min(sizeof buf, max_bytes), 0);
    if (got > 0) {
      chunk->assign(buf, static_cast<std::size_t>(got));
      return IoResult::kOk;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    peer_closed_ = got == 0 || PeerGone(errno);
    return peer_closed_ ? IoResult::kPeerClosed : IoResult::kError;
  }
}

IoResult Channel::Send(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t sent = ::send(fd_, p, n, MSG_NOSIGNAL);
    if (sent > 0) {
      p += sent;
      n -= static_cast<std::size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A slow reader: wait for room, but not past a stop or the peer's end.
      short revents = 0;
      const IoResult r = Poll(POLLOUT, -1, &revents);
      if (r != IoResult::kOk) return r;
      if ((revents & (POLLERR | POLLHUP)) != 0 && (revents & POLLOUT) == 0) {
        peer_closed_ = true;
        return IoResult::kPeerClosed;
      }
      continue;
    }
    if (sent < 0 && PeerGone(errno)) {
      peer_closed_ = true;
      return IoResult::kPeerClosed;
    }
    return IoResult::kError;
  }
  return IoResult::kOk;
}

IoResult Channel::WaitUntil(Clock::time_point deadline) {
  for (;;) {
    const int timeout = MsUntil(deadline);
    short revents = 0;
    const IoResult r = Poll(peer_done_sending_ ? 0 : POLLIN, timeout, &revents);
    if (r != IoResult::kOk) return r;
    if ((revents & (POLLERR | POLLHUP)) != 0) {
      peer_closed_ = true;
      return IoResult::kPeerClosed;
    }
    if ((revents & POLLIN) != 0) {
      const IoResult d = Discard();
      if (d != IoResult::kOk) return d;
      continue;
    }
    if (timeout == 0 || Clock::now() >= deadline) return IoResult::kOk;
  }
}

void Channel::CloseGracefully(int drain_ms) {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_WR);
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(drain_ms);
  while (!peer_closed_ && !peer_done_sending_) {
    short revents = 0;
    const int timeout = MsUntil(until);
    if (Poll(POLLIN, timeout, &revents) != IoResult::kOk || revents == 0) break;
    if ((revents & (POLLERR | POLLHUP)) != 0 && (revents & POLLIN) == 0) {
      peer_closed_ = true;
      break;
    }
    if (Discard() != IoResult::kOk) break;
  }
  Close();
}

void Channel::CloseWithReset() {
  if (fd_ < 0) return;
  const linger hard{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  Close();
}

}  // namespace devsim
