// A camera control talking to a devsim camera on loopback, one pair per test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Oru_cam/CamCtl.h"
#include "devsim/devsim.h"

namespace orucam_test {

using Steady = std::chrono::steady_clock;

inline long long MsSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

// Bounds for a wait the control makes: never earlier than its limit (less a tick's slack), and
// not absurdly later even on a loaded machine.
inline constexpr long long kEarlySlackMs = 100;
inline constexpr long long kLateBoundMs = 10000;

inline constexpr int kDevsimBoundMs = 5000;  // for devsim to record what loopback carried

inline devsim::CameraAnswer Answer(const std::string& text) {
  std::string error;
  const auto answer = devsim::ParseCameraAnswer(text, devsim::CameraAnswer{}, &error);
  EXPECT_TRUE(answer.has_value()) << text << ": " << error;
  return answer.value_or(devsim::CameraAnswer{});
}

inline std::string Bytes(std::initializer_list<std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A devsim camera on loopback answering connection i + 1 as plan[i] says and the later ones as
// `otherwise` does ("reply:90", "silent", "close-after-first", ...).
inline std::unique_ptr<devsim::Device> StartCameraDevice(const std::vector<std::string>& plan = {},
                                                         const std::string& otherwise = "reply:90") {
  devsim::CameraOptions camera;
  for (const std::string& a : plan) camera.plan.push_back(Answer(a));
  camera.default_answer = Answer(otherwise);
  devsim::DeviceOptions options;
  options.camera = camera;
  auto device = std::make_unique<devsim::Device>(std::move(options));
  std::string error;
  EXPECT_TRUE(device->Start(&error)) << error;
  return device;
}

inline void PointAt(orucam::CCamCtl& control, const devsim::Device& device) {
  control.put_IP("127.0.0.1");
  control.put_Port(device.camera_port());
}

// The same for a listener of a test's own on 127.0.0.1.
inline void PointAt(orucam::CCamCtl& control, const plat::SockAddr& where) {
  control.put_IP("127.0.0.1");
  control.put_Port(where.Port());
}

inline std::uint8_t SendCmd(orucam::CCamCtl& control, const std::string& cmd, std::uint8_t ack) {
  std::uint8_t ret = 0xEE;
  EXPECT_EQ(control.SendCmd(cmd, ack, &ret), automation::kS_OK);
  return ret;
}

// One control and its camera; the control goes first, so the camera sees it close.
class CameraTest : public ::testing::Test {
 protected:
  void StartCamera(const std::vector<std::string>& plan = {}, const std::string& otherwise = "reply:90") {
    device_ = StartCameraDevice(plan, otherwise);
    ASSERT_NE(device_->camera_port(), 0);
    PointAt(control_, *device_);
  }

  std::uint8_t Send(const std::string& cmd, std::uint8_t ack) { return SendCmd(control_, cmd, ack); }

  const devsim::Stats& camera() const { return device_->camera_stats(); }

  // Everything connection `number` (1, ...) has read so far, once it has at least `bytes`.
  std::string Received(int number, std::size_t bytes) const {
    EXPECT_TRUE(camera().WaitForReceived(number, bytes, kDevsimBoundMs));
    const auto all = camera().received_per_connection();
    return static_cast<std::size_t>(number) <= all.size() ? all[number - 1] : std::string();
  }

  std::unique_ptr<devsim::Device> device_;
  orucam::CCamCtl control_;
};

}  // namespace orucam_test
