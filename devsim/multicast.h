// The device's multicast audio: the same packets as the HTTP stream, one per UDP datagram,
// every 64 ms on a fixed schedule, to an IPv4 or IPv6 group. One thread sends; Start and Join
// are called by the owner's thread, and the thread ends once the stop descriptor is readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "devsim/address.h"
#include "devsim/audio_source.h"
#include "devsim/common.h"
#include "devsim/stats.h"

namespace devsim {

struct MulticastOptions {
  std::string group;  // literal: "239.255.0.1", "ff15::1"
  std::uint16_t port = 0;
  // Outgoing interface: for IPv4 an interface address ("127.0.0.1") or a name ("lo"); for IPv6
  // an interface index ("1") or a name. Empty: the system's choice.
  std::string interface;
  bool loop = true;  // deliver to this host's own members too
  int ttl = 1;       // TTL or hop limit
  // 0: whole packets. Otherwise each datagram is cut to, or zero-padded up to, this size.
  std::size_t datagram_bytes = 0;
};

// Splits "239.1.2.3:5000" or "[ff15::1]:5000".
bool ParseGroupAndPort(const std::string& text, std::string* group, std::uint16_t* port, std::string* error);

class MulticastSender {
 public:
  MulticastSender(MulticastOptions options, SourceFactory source, Stats& stats, Log log, int stop_fd);
  ~MulticastSender();  // joins; the stop descriptor must have been signalled
  MulticastSender(const MulticastSender&) = delete;
  MulticastSender& operator=(const MulticastSender&) = delete;

  // Opens and sets up the socket and starts sending; false with *error if the options do not
  // work on this host.
  bool Start(std::string* error);
  void Join();

 private:
  bool Configure(std::string* error);
  void Run();

  MulticastOptions options_;
  SourceFactory source_;
  Stats& stats_;
  Log log_;
  int stop_fd_;
  int fd_ = -1;
  Address group_;
  std::thread thread_;
};

}  // namespace devsim
