#include "devsim/listener.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devsim/address.h"

namespace devsim {
namespace {

// A socket bound to `address` with SO_REUSEADDR, so that it and a listening socket can share
// the port as long as only one of them listens. -1 with errno on failure.
int BoundSocket(const Address& address) {
  const int fd = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (fd < 0) return -1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 && ::bind(fd, address.get(), address.length) == 0)
    return fd;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return -1;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

Listener::Listener(ListenerConfig config, Service& service, int stop_fd)
    : config_(std::move(config)), service_(service), stop_fd_(stop_fd) {}

Listener::~Listener() { Join(); }

bool Listener::Start(std::string* error) {
  Address address;
  if (!ParseAddress(config_.bind, config_.port, &address, error)) return false;
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  reserve_fd_ = wake_fd_ < 0 ? -1 : BoundSocket(address);
  if (reserve_fd_ < 0) {
    if (error) *error = config_.name + " " + FormatAddress(address.get()) + ": " + std::strerror(errno);
    CloseFd(wake_fd_);
    return false;
  }
  socklen_t length = sizeof address.storage;
  ::getsockname(reserve_fd_, reinterpret_cast<sockaddr*>(&address.storage), &length);
  address_ = FormatAddress(address.get());
  port_ = ntohs(address.family() == AF_INET ? reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port
                                            : reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port);
  if (config_.refuse_ms > 0) {
    service_.Refusing("");
  } else if (Open(error)) {
    service_.Listening(address_);
  } else {
    CloseFd(reserve_fd_);
    CloseFd(wake_fd_);
    return false;
  }
  running_ = true;
  acceptor_ = std::thread([this] { Run(); });
  return true;
}

bool Listener::Open(std::string* error) {
  Address address;
  ParseAddress(config_.bind, port_, &address, nullptr);  // it parsed at Start
  const int fd = BoundSocket(address);
  if (fd < 0 || ::listen(fd, 16) != 0) {
    if (error) *error = config_.name + " " + address_ + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  listen_fd_ = fd;
  return true;
}

void Listener::Close() { CloseFd(listen_fd_); }

bool Listener::SetRefusing(bool refusing, std::string* error) {
  std::unique_lock lock(mutex_);
  if (!running_) {
    if (error) *error = config_.name + ": not running";
    return false;
  }
  want_refusing_ = refusing;
  const std::uint64_t ticket = ++asked_;
  const std::uint64_t one = 1;
  if (::write(wake_fd_, &one, sizeof one) < 0 && errno != EAGAIN) {
    if (error) *error = config_.name + ": " + std::strerror(errno);
    return false;
  }
  applied_.wait(lock, [&] { return done_ >= ticket || !running_; });
  if (done_ < ticket) {
    if (error) *error = config_.name + ": stopped";
    return false;
  }
  if (!failure_.empty() && error) *error = failure_;
  return failure_.empty();
}

void Listener::Apply(bool refusing) {
  std::string why;
  if (refusing && listen_fd_ >= 0) {
    while (AcceptOne()) {
    }
    Close();
    service_.Refusing("");
  } else if (!refusing && listen_fd_ < 0) {
    if (Open(&why)) service_.Listening(address_);
    else service_.Refusing(why);
  }
  std::lock_guard lock(mutex_);
  failure_ = why;
}

void Listener::Run() {
  Clock::time_point open_at = Clock::time_point::max();
  if (config_.refuse_ms > 0) open_at = Clock::now() + std::chrono::milliseconds(config_.refuse_ms);
  for (;;) {
    // A closed listening socket (-1) is left out of the poll.
    pollfd fds[3] = {{listen_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
    const int timeout = MsUntil(open_at);
    const int r = ::poll(fds, 3, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || fds[1].revents != 0) break;
    if (fds[2].revents != 0) {
      std::uint64_t count = 0;
      if (::read(wake_fd_, &count, sizeof count) < 0) continue;
      open_at = Clock::time_point::max();  // an explicit request overrides the start's refusal
      std::unique_lock lock(mutex_);
      const bool refusing = want_refusing_;
      const std::uint64_t ticket = asked_;
      lock.unlock();
      Apply(refusing);
      lock.lock();
      done_ = ticket;
      applied_.notify_all();
      continue;
    }
    if (open_at != Clock::time_point::max() && Clock::now() >= open_at) {
      open_at = Clock::time_point::max();
      Apply(false);
      continue;
    }
    if (fds[0].revents != 0) AcceptOne();
  }
  std::lock_guard lock(mutex_);
  running_ = false;
  applied_.notify_all();
}

bool Listener::AcceptOne() {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  const int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
  // Nothing waiting, the peer gave up before we took it, or a transient shortage.
  if (fd < 0) return errno == EINTR || errno == ECONNABORTED;

  // Finished workers are joined here, so a long run does not pile up thread stacks.
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done.load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
  const int number = ++accepted_;
  service_.Accepted(number, FormatAddress(reinterpret_cast<const sockaddr*>(&peer)));
  Worker& worker = workers_.emplace_back();
  worker.thread = std::thread([this, fd, number, &worker] {
    service_.Serve(fd, number);
    worker.done.store(true);
  });
  return true;
}

void Listener::Join() {
  if (acceptor_.joinable()) acceptor_.join();
  for (Worker& w : workers_) w.thread.join();
  workers_.clear();
  Close();
  CloseFd(reserve_fd_);
  CloseFd(wake_fd_);
}

}  // namespace devsim
