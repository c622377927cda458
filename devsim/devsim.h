// The device emulator: the encoder's HTTP API (for now GET /api/audio), with faults on demand,
// and its multicast audio sender, on this host's own addresses.
//
// A Device owns its listener, one thread per connection and the multicast thread. Start, Stop
// and the destructor are called from the owner's thread; stats() may be read and waited on from
// any thread. A stopped device is not started again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devsim/audio_source.h"
#include "devsim/common.h"
#include "devsim/faults.h"
#include "devsim/multicast.h"
#include "devsim/stats.h"

namespace devsim {

struct DeviceOptions {
  std::string bind = "127.0.0.1";  // an address literal
  std::uint16_t http_port = 0;     // 0: the system picks one; see Device::http_port()
  SourceFactory source = ToneSource();
  std::vector<Fault> faults;  // connection 1 gets faults[0], connection 2 faults[1], ...
  Fault default_fault;        // for the connections after those
  std::optional<MulticastOptions> multicast;
  Log log;  // event lines ("http 127.0.0.1:PORT", "connection 1 from ..."); may be empty
  int request_idle_ms = 500;  // a request that never ends in an empty line is taken after this
};

class Server;

class Device {
 public:
  explicit Device(DeviceOptions options);
  ~Device();  // stops
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Listens and starts sending; false with *error if the address, port or multicast options
  // cannot be used.
  bool Start(std::string* error);
  // Ends every connection and thread promptly and waits for them. Idempotent.
  void Stop();

  std::uint16_t http_port() const;
  std::string http_address() const;  // "127.0.0.1:PORT"
  const Stats& stats() const { return stats_; }

 private:
  void Emit(const std::string& line);

  DeviceOptions options_;
  Stats stats_;
  std::mutex log_mutex_;
  int stop_fd_ = -1;
  std::unique_ptr<Server> server_;
  std::unique_ptr<MulticastSender> multicast_;
};

}  // namespace devsim
