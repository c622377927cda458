#include "devsim/devsim.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devsim/audio_route.h"
#include "devsim/server.h"

namespace devsim {

Device::Device(DeviceOptions options) : options_(std::move(options)) {}

Device::~Device() {
  Stop();
  if (stop_fd_ >= 0) ::close(stop_fd_);
}

void Device::Emit(const std::string& line) {
  if (!options_.log) return;
  std::lock_guard lock(log_mutex_);
  options_.log(line);
}

bool Device::Start(std::string* error) {
  // One descriptor, readable for good once written, wakes every wait in every thread at stop.
  stop_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_fd_ < 0) {
    if (error) *error = std::string("eventfd: ") + std::strerror(errno);
    return false;
  }
  const Log log = [this](const std::string& line) { Emit(line); };
  Router router;
  AddAudioRoute(router, options_.source);
  ServerConfig config;
  config.bind = options_.bind;
  config.port = options_.http_port;
  config.faults = options_.faults;
  config.default_fault = options_.default_fault;
  config.request_idle_ms = options_.request_idle_ms;
  server_ = std::make_unique<Server>(std::move(config), std::move(router), stats_, log, stop_fd_);
  if (!server_->Start(error)) {
    server_.reset();
    return false;
  }
  if (options_.multicast) {
    multicast_ = std::make_unique<MulticastSender>(*options_.multicast, options_.source, stats_, log, stop_fd_);
    if (!multicast_->Start(error)) {
      multicast_.reset();
      Stop();
      return false;
    }
  }
  return true;
}

void Device::Stop() {
  if (stop_fd_ < 0) return;
  const std::uint64_t one = 1;
  // Never read back, so it stays readable.
  if (::write(stop_fd_, &one, sizeof one) < 0 && errno != EAGAIN) return;
  if (server_) server_->Join();
  if (multicast_) multicast_->Join();
}

std::uint16_t Device::http_port() const { return server_ ? server_->port() : 0; }

std::string Device::http_address() const { return server_ ? server_->address() : ""; }

}  // namespace devsim
