// The device emulator: the encoder's HTTP API (for now GET /api/audio), with faults on demand,
// its multicast audio sender and, if asked for, the camera command port, on this host's own
// addresses.
//
// A Device owns a listener per service (each on a port of its own), one thread per connection
// and the multicast thread. Start, Stop and the destructor are called from the owner's thread;
// stats() and camera_stats() may be read and waited on, and SetCameraRefusing called, from any
// thread. A stopped device is not started again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devsim/audio_source.h"
#include "devsim/camera.h"
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
  std::optional<CameraOptions> camera;  // the camera command port; none: not served
};

class Listener;
class Service;

class Device {
 public:
  explicit Device(DeviceOptions options);
  ~Device();  // stops
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Listens and starts sending; false with *error if the address, a port or the multicast
  // options cannot be used.
  bool Start(std::string* error);
  // Ends every connection and thread promptly and waits for them. Idempotent.
  void Stop();

  std::uint16_t http_port() const;
  std::string http_address() const;  // "127.0.0.1:PORT"
  const Stats& stats() const { return stats_; }  // the HTTP API's and the multicast sender's

  std::uint16_t camera_port() const;  // 0 without a camera
  const Stats& camera_stats() const { return camera_stats_; }
  // Closes the camera's listening socket, so connects are refused, or reopens it on the same
  // port; returns once done. Connections already accepted go on. False with *error without a
  // camera, once stopped, or if the port could not be listened on again.
  bool SetCameraRefusing(bool refusing, std::string* error = nullptr);

 private:
  void Emit(const std::string& line);
  bool Listen(Service& service, const std::string& name, std::uint16_t port, int refuse_ms, std::string* error);

  DeviceOptions options_;
  Stats stats_;
  Stats camera_stats_;
  std::mutex log_mutex_;
  int stop_fd_ = -1;
  std::vector<std::unique_ptr<Service>> services_;
  std::vector<std::unique_ptr<Listener>> listeners_;  // listeners_[i] runs services_[i]
  Listener* http_ = nullptr;
  Listener* camera_ = nullptr;
  std::unique_ptr<MulticastSender> multicast_;
};

}  // namespace devsim
