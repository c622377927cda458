// Helpers for the socket tests: start-up per test, loopback addresses, listeners on port 0,
// and collecting EventSelect notifications with a time limit. Only the plat:: API is used, so
// the same tests run against both backends.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "platform/net.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace plat_test {

inline constexpr std::uint32_t kEventBoundMs = 5000;  // generous: loopback answers in < 1 ms

class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::uint16_t granted = 0;
    ASSERT_EQ(plat::NetStartup(0x0202, &granted), 0);
  }
  void TearDown() override { plat::NetCleanup(); }
};

// Closes the socket when the scope ends.
class SocketGuard {
 public:
  explicit SocketGuard(plat::Socket s = plat::kInvalidSocket) : s_(s) {}
  ~SocketGuard() { Reset(); }
  SocketGuard(const SocketGuard&) = delete;
  SocketGuard& operator=(const SocketGuard&) = delete;
  SocketGuard(SocketGuard&& o) noexcept : s_(std::exchange(o.s_, plat::kInvalidSocket)) {}
  plat::Socket get() const { return s_; }
  void Reset(plat::Socket s = plat::kInvalidSocket) {
    if (s_ != plat::kInvalidSocket) plat::SocketClose(s_);
    s_ = s;
  }

 private:
  plat::Socket s_;
};

inline plat::SockAddr Loopback(plat::Family family, std::uint16_t port) {
  return family == plat::Family::kInet ? plat::MakeIPv4Address(plat::ParseIPv4("127.0.0.1"), port)
                                       : plat::MakeIPv6Loopback(port);
}

// A socket bound to the loopback address on a port the system picks; *where gets the address.
inline plat::Socket BoundSocket(plat::Family family, plat::SockType type, plat::SockAddr* where) {
  const plat::Socket s = plat::SocketCreate(family, type, 0);
  if (s == plat::kInvalidSocket) return s;
  if (plat::SocketBind(s, Loopback(family, 0)) != 0 || plat::SocketGetName(s, where) != 0) {
    plat::SocketClose(s);
    return plat::kInvalidSocket;
  }
  return s;
}

inline plat::Socket Listener(plat::Family family, int backlog, plat::SockAddr* where) {
  const plat::Socket s = BoundSocket(family, plat::SockType::kStream, where);
  if (s != plat::kInvalidSocket && plat::SocketListen(s, backlog) != 0) {
    plat::SocketClose(s);
    return plat::kInvalidSocket;
  }
  return s;
}

// Waits on event and enumerates s until every bit of want has been reported or ms pass; the
// reported bits and their error slots accumulate in *got. Returns whether all of want came.
inline bool Collect(plat::Socket s, plat::Event* event, unsigned want, std::uint32_t ms,
                    plat::NetworkEvents* got) {
  const std::uint32_t start = plat::TickMs();
  while ((got->events & want) != want) {
    const std::uint32_t spent = plat::TickMs() - start;
    if (spent >= ms) return false;
    if (plat::WaitForEvent(event, ms - spent) != 0) continue;
    plat::NetworkEvents now;
    if (plat::EnumNetworkEvents(s, event, &now) != 0) return false;
    got->events |= now.events;
    for (int slot = 0; slot < plat::kFdSlotCount; ++slot) {
      if (now.events & (1u << slot)) got->errors[slot] = now.errors[slot];
    }
  }
  return true;
}

// Waits on event and enumerates s for ms; returns the notifications reported meanwhile.
// WinSock sets the event once per record, so a wake may find nothing new; such empty wakes are
// counted in *empty_wakes (a socket that keeps waking its event would run it up).
inline unsigned QuietFor(plat::Socket s, plat::Event* event, std::uint32_t ms, int* empty_wakes) {
  unsigned reported = 0;
  *empty_wakes = 0;
  const std::uint32_t start = plat::TickMs();
  for (;;) {
    const std::uint32_t spent = plat::TickMs() - start;
    if (spent >= ms || plat::WaitForEvent(event, ms - spent) != 0) return reported;
    plat::NetworkEvents now;
    if (plat::EnumNetworkEvents(s, event, &now) != 0) return reported;
    if (now.events == 0) ++*empty_wakes;
    reported |= now.events;
  }
}

}  // namespace plat_test
