// What one of the device's services has done, for tests and the command's log; each service
// has its own. Written by the device's threads, read and waited on from any thread; every
// member is thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "devsim/common.h"
#include "devsim/faults.h"

namespace devsim {

struct ConnectionInfo {
  int number = 0;  // 1, 2, ... in order of acceptance
  std::string peer;  // "127.0.0.1:54321"
  Fault fault;
  Clock::time_point accepted;
  std::string request;  // the raw request bytes; empty if none was read
  std::uint64_t packets = 0;  // audio packets sent completely
  std::string received;  // every byte read, in order (camera commands)
  std::uint64_t replies = 0;  // camera replies sent completely
  bool peer_closed = false;  // the peer's close (FIN, RST or hang-up) was seen
  bool open = true;  // the device still holds the socket
};

class Stats {
 public:
  int connections() const;
  std::vector<ConnectionInfo> Connections() const;
  // The recorded requests in the order they were read, byte for byte.
  std::vector<std::string> requests() const;
  std::vector<Clock::time_point> accept_times() const;
  std::vector<std::uint64_t> packets_per_connection() const;
  std::uint64_t packets_total() const;
  std::vector<bool> peer_closed() const;
  int open_connections() const;
  std::uint64_t datagrams_sent() const;
  // Each connection's bytes as the camera read them, all chunks joined, in connection order.
  std::vector<std::string> received_per_connection() const;

  // Each waits until the condition holds or timeout_ms pass, and tells which.
  bool WaitForConnections(int n, int timeout_ms) const;       // at least n accepted
  bool WaitForPackets(std::uint64_t n, int timeout_ms) const;  // at least n sent in all
  bool WaitForOpenConnections(int n, int timeout_ms) const;   // exactly n open
  bool WaitForDatagrams(std::uint64_t n, int timeout_ms) const;
  // Connection `number` (1, ...) exists and has received at least `bytes` in all.
  bool WaitForReceived(int number, std::size_t bytes, int timeout_ms) const;
  bool WaitForReplies(int number, std::uint64_t n, int timeout_ms) const;  // at least n sent

  // Called by the device's threads.
  int OnAccept(const std::string& peer, const Fault& fault);  // returns the number
  void OnRequest(int number, const std::string& raw);
  void OnPacket(int number);
  void OnPeerClosed(int number);
  void OnClosed(int number);
  void OnDatagram();
  void OnReceived(int number, const std::string& chunk);
  void OnReply(int number);

 private:
  template <typename Pred>
  bool Wait(int timeout_ms, Pred pred) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<ConnectionInfo> connections_;
  std::vector<std::string> requests_;
  std::uint64_t packets_ = 0;
  std::uint64_t datagrams_ = 0;
  int open_ = 0;
};

}  // namespace devsim
