#include "devsim/devsim.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devsim/audio_route.h"
#include "devsim/camera_service.h"
#include "devsim/http_service.h"
#include "devsim/listener.h"

namespace devsim {

Device::Device(DeviceOptions options) : options_(std::move(options)) {}

Device::~Device() {
  Stop();
  // Listeners go before their services, which their threads use.
  listeners_.clear();
  services_.clear();
  if (stop_fd_ >= 0) ::close(stop_fd_);
}

void Device::Emit(const std::string& line) {
  if (!options_.log) return;
  std::lock_guard lock(log_mutex_);
  options_.log(line);
}

bool Device::Listen(Service& service, const std::string& name, std::uint16_t port, int refuse_ms, std::string* error) {
  ListenerConfig config;
  config.name = name;
  config.bind = options_.bind;
  config.port = port;
  config.refuse_ms = refuse_ms;
  auto listener = std::make_unique<Listener>(std::move(config), service, stop_fd_);
  if (!listener->Start(error)) return false;
  listeners_.push_back(std::move(listener));
  return true;
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
  HttpConfig http;
  http.faults = options_.faults;
  http.default_fault = options_.default_fault;
  http.request_idle_ms = options_.request_idle_ms;
  services_.push_back(std::make_unique<HttpService>(std::move(http), std::move(router), stats_, log, stop_fd_));
  if (!Listen(*services_.back(), "http", options_.http_port, 0, error)) return false;
  http_ = listeners_.back().get();
  if (options_.camera) {
    const CameraOptions& camera = *options_.camera;
    services_.push_back(std::make_unique<CameraService>(camera, camera_stats_, log, stop_fd_));
    if (!Listen(*services_.back(), "camera", camera.port, camera.refuse_ms, error)) {
      Stop();
      return false;
    }
    camera_ = listeners_.back().get();
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
  for (const auto& listener : listeners_) listener->Join();
  if (multicast_) multicast_->Join();
}

std::uint16_t Device::http_port() const { return http_ ? http_->port() : 0; }

std::string Device::http_address() const { return http_ ? http_->address() : ""; }

std::uint16_t Device::camera_port() const { return camera_ ? camera_->port() : 0; }

bool Device::SetCameraRefusing(bool refusing, std::string* error) {
  if (camera_ == nullptr) {
    if (error) *error = "no camera";
    return false;
  }
  return camera_->SetRefusing(refusing, error);
}

}  // namespace devsim
