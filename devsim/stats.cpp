#include "devsim/stats.h"

namespace devsim {

template <typename Pred>
bool Stats::Wait(int timeout_ms, Pred pred) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), pred);
}

int Stats::connections() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(connections_.size());
}

std::vector<ConnectionInfo> Stats::Connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

std::vector<std::string> Stats::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<Clock::time_point> Stats::accept_times() const {
  std::lock_guard lock(mutex_);
  std::vector<Clock::time_point> out;
  for (const ConnectionInfo& c : connections_) out.push_back(c.accepted);
  return out;
}

std::vector<std::uint64_t> Stats::packets_per_connection() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint64_t> out;
  for (const ConnectionInfo& c : connections_) out.push_back(c.packets);
  return out;
}

std::uint64_t Stats::packets_total() const {
  std::lock_guard lock(mutex_);
  return packets_;
}

std::vector<bool> Stats::peer_closed() const {
  std::lock_guard lock(mutex_);
  std::vector<bool> out;
  for (const ConnectionInfo& c : connections_) out.push_back(c.peer_closed);
  return out;
}

int Stats::open_connections() const {
  std::lock_guard lock(mutex_);
  return open_;
}

std::uint64_t Stats::datagrams_sent() const {
  std::lock_guard lock(mutex_);
  return datagrams_;
}

std::vector<std::string> Stats::received_per_connection() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const ConnectionInfo& c : connections_) out.push_back(c.received);
  return out;
}

bool Stats::WaitForConnections(int n, int timeout_ms) const {
  return Wait(timeout_ms, [&] { return static_cast<int>(connections_.size()) >= n; });
}

bool Stats::WaitForPackets(std::uint64_t n, int timeout_ms) const {
  return Wait(timeout_ms, [&] { return packets_ >= n; });
}

bool Stats::WaitForOpenConnections(int n, int timeout_ms) const {
  return Wait(timeout_ms, [&] { return open_ == n; });
}

bool Stats::WaitForDatagrams(std::uint64_t n, int timeout_ms) const {
  return Wait(timeout_ms, [&] { return datagrams_ >= n; });
}

bool Stats::WaitForReceived(int number, std::size_t bytes, int timeout_ms) const {
  return Wait(timeout_ms, [&] {
    return number >= 1 && number <= static_cast<int>(connections_.size()) &&
           connections_[number - 1].received.size() >= bytes;
  });
}

bool Stats::WaitForReplies(int number, std::uint64_t n, int timeout_ms) const {
  return Wait(timeout_ms, [&] {
    return number >= 1 && number <= static_cast<int>(connections_.size()) && connections_[number - 1].replies >= n;
  });
}

int Stats::OnAccept(const std::string& peer, const Fault& fault) {
  std::lock_guard lock(mutex_);
  ConnectionInfo c;
  c.number = static_cast<int>(connections_.size()) + 1;
  c.peer = peer;
  c.fault = fault;
  c.accepted = Clock::now();
  connections_.push_back(c);
  ++open_;
  changed_.notify_all();
  return c.number;
}

void Stats::OnRequest(int number, const std::string& raw) {
  std::lock_guard lock(mutex_);
  connections_[number - 1].request = raw;
  requests_.push_back(raw);
  changed_.notify_all();
}

void Stats::OnPacket(int number) {
  std::lock_guard lock(mutex_);
  ++connections_[number - 1].packets;
  ++packets_;
  changed_.notify_all();
}

void Stats::OnPeerClosed(int number) {
  std::lock_guard lock(mutex_);
  connections_[number - 1].peer_closed = true;
  changed_.notify_all();
}

void Stats::OnClosed(int number) {
  std::lock_guard lock(mutex_);
  connections_[number - 1].open = false;
  --open_;
  changed_.notify_all();
}

void Stats::OnDatagram() {
  std::lock_guard lock(mutex_);
  ++datagrams_;
  changed_.notify_all();
}

void Stats::OnReceived(int number, const std::string& chunk) {
  std::lock_guard lock(mutex_);
  connections_[number - 1].received += chunk;
  changed_.notify_all();
}

void Stats::OnReply(int number) {
  std::lock_guard lock(mutex_);
  ++connections_[number - 1].replies;
  changed_.notify_all();
}

}  // namespace devsim
