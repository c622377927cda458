// A receive control with a window, and devsim devices on loopback, for the stream tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "ZubAudioR/ReceiveAudio.h"
#include "devsim/devsim.h"

namespace zubr_test {

inline devsim::Fault F(devsim::Fault::Kind kind, std::size_t n = 0) { return devsim::Fault{kind, n}; }

inline std::unique_ptr<devsim::Device> StartDevice(std::vector<devsim::Fault> faults = {},
                                                   std::uint16_t port = 0) {
  devsim::DeviceOptions options;
  options.http_port = port;
  options.faults = std::move(faults);
  auto device = std::make_unique<devsim::Device>(std::move(options));
  std::string error;
  EXPECT_TRUE(device->Start(&error)) << error;
  return device;
}

template <class Pred>
bool WaitUntil(Pred pred, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline long long MsBetween(devsim::Clock::time_point a, devsim::Clock::time_point b) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

// A control with a window, playing from ip:port while it lives (one per table row).
struct Player {
  Player(const std::string& ip, std::int32_t port, std::int32_t stream_type = 0) {
    control.put_IP(ip);
    control.put_Port(port);
    control.put_StreamType(stream_type);
    control.OnCreateWindow(&window);
    played = control.Play();
  }
  ~Player() { control.OnDestroyWindow(); }
  int window = 0;
  zubr::CReceiveAudio control;
  automation::HResult played;
};

class ReceiveFixture : public ::testing::Test {
 protected:
  // Activates the control and plays from addr:port.
  void Play(const std::string& ip, std::int32_t port, std::int32_t stream_type = 0) {
    control_.put_IP(ip);
    control_.put_Port(port);
    control_.put_StreamType(stream_type);
    control_.OnCreateWindow(&window_);
    ASSERT_EQ(control_.Play(), automation::kS_OK);
  }
  const zubr::ReceiveStats& stats() const { return control_.Stats(); }

  int window_ = 0;
  zubr::CReceiveAudio control_;
};

}  // namespace zubr_test
