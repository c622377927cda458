#include "platform/sync.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/posix/socket_wait.h"

namespace plat {

// The flag is the truth; the eventfd is readable exactly while the flag is set, so that poll()
// can wait on events and sockets together. Both change together under mu.
struct Event::Impl {
  std::mutex mu;
  bool manual = false;
  bool set = false;
  int fd = -1;

  void Raise() {  // mu held
    if (set) return;
    set = true;
    const std::uint64_t one = 1;
    ssize_t r;
    do r = write(fd, &one, sizeof one); while (r < 0 && errno == EINTR);
  }
  void Lower() {  // mu held
    if (!set) return;
    set = false;
    std::uint64_t count;
    ssize_t r;
    do r = read(fd, &count, sizeof count); while (r < 0 && errno == EINTR);
  }
  // Reports whether the event is set; a released auto-reset event is cleared.
  bool TryTake() {
    std::lock_guard<std::mutex> lock(mu);
    if (!set) return false;
    if (!manual) Lower();
    return true;
  }
};

Event::Event(bool manual_reset, bool initially_set) : impl_(new Impl) {
  impl_->manual = manual_reset;
  impl_->fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (initially_set && impl_->fd >= 0) impl_->Raise();
}

Event::~Event() {
  posix::ForgetEvent(this);
  if (impl_->fd >= 0) close(impl_->fd);
  delete impl_;
}

bool Event::Valid() const { return impl_->fd >= 0; }

void Event::Set() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (impl_->fd >= 0) impl_->Raise();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (impl_->fd >= 0) impl_->Lower();
}

std::uint32_t WaitForEvents(Event* const* events, unsigned count, std::uint32_t timeout_ms) {
  if (events == nullptr || count == 0 || count > 64) return kWaitFailed;
  for (unsigned i = 0; i < count; ++i) {
    if (events[i] == nullptr || !events[i]->Valid()) return kWaitFailed;
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::vector<pollfd> fds;
  for (;;) {
    for (unsigned i = 0; i < count; ++i) {
      Event::Impl* e = events[i]->impl();
      if (e->TryTake()) return i;
      if (posix::SocketsPending(events[i])) {
        // As WinSock does, a pending notification sets the (manual-reset) event.
        if (e->manual) events[i]->Set();
        return i;
      }
    }
    int wait_ms = -1;
    if (timeout_ms != kInfinite) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return kWaitTimeout;
      wait_ms = static_cast<int>(left.count());
    }
    fds.clear();
    for (unsigned i = 0; i < count; ++i) fds.push_back({events[i]->impl()->fd, POLLIN, 0});
    for (unsigned i = 0; i < count; ++i) posix::AppendSocketPolls(events[i], &fds);
    // A wake-up only means "look again": the flags and sockets are re-checked above.
    if (poll(fds.data(), fds.size(), wait_ms) < 0 && errno != EINTR) return kWaitFailed;
  }
}

// A robust recursive pthread mutex: re-entrant, and a holder's death is reported to the next
// locker (EOWNERDEAD) as Win32 reports an abandoned mutex.
struct RecursiveMutex::Impl {
  pthread_mutex_t mu;
  bool ok = false;
};

RecursiveMutex::RecursiveMutex() : impl_(new Impl) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
  impl_->ok = pthread_mutex_init(&impl_->mu, &attr) == 0;
  pthread_mutexattr_destroy(&attr);
}

RecursiveMutex::~RecursiveMutex() {
  if (impl_->ok) pthread_mutex_destroy(&impl_->mu);
  delete impl_;
}

RecursiveMutex::Result RecursiveMutex::Lock(std::uint32_t timeout_ms) {
  if (!impl_->ok) return kFailed;
  // A try first: it also collects an abandonment that happened before the call (glibc marks
  // the mutex when the owner ends), which is the path TSan models; it does not model
  // timedlock's EOWNERDEAD.
  int r = pthread_mutex_trylock(&impl_->mu);
  if (r == EBUSY && timeout_ms == kInfinite) {
    r = pthread_mutex_lock(&impl_->mu);
  } else if (r == EBUSY && timeout_ms != 0) {
    // timedlock counts on CLOCK_REALTIME; clocklock would take CLOCK_MONOTONIC, but TSan does
    // not see it and then reports every unlock.
    timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += timeout_ms / 1000;
    until.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000L;
    }
    r = pthread_mutex_timedlock(&impl_->mu, &until);
  }
  switch (r) {
    case 0:
      return kAcquired;
    case EOWNERDEAD:
      pthread_mutex_consistent(&impl_->mu);
      return kAbandoned;
    case EBUSY:
    case ETIMEDOUT:
      return kTimeout;
    default:
      return kFailed;
  }
}

void RecursiveMutex::Unlock() {
  if (impl_->ok) pthread_mutex_unlock(&impl_->mu);
}

}  // namespace plat
