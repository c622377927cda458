// For the camera tests: a device's event lines, collected from its threads, and a device
// with a camera on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devsim/devsim.h"

namespace devsim_test {

class EventLines {
 public:
  devsim::Log Sink() {
    return [this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
      added_.notify_all();
    };
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // Waits until a line starts with `start`.
  bool WaitFor(const std::string& start, int timeout_ms) const {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (const std::string& line : lines_)
        if (line.rfind(start, 0) == 0) return true;
      return false;
    });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable added_;
  std::vector<std::string> lines_;
};

// A command as a control sends it.
inline const std::string kCameraCommand("\x81\x01\x04\x00\x02\xFF", 6);

inline std::unique_ptr<devsim::Device> StartCamera(devsim::CameraOptions camera, EventLines* lines = nullptr) {
  devsim::DeviceOptions options;
  options.camera = std::move(camera);
  if (lines) options.log = lines->Sink();
  auto device = std::make_unique<devsim::Device>(std::move(options));
  std::string error;
  EXPECT_TRUE(device->Start(&error)) << error;
  return device;
}

inline devsim::CameraAnswer Answer(const char* text) {
  std::string error;
  const std::optional<devsim::CameraAnswer> answer = devsim::ParseCameraAnswer(text, devsim::CameraAnswer{}, &error);
  EXPECT_TRUE(answer) << error;
  return answer.value_or(devsim::CameraAnswer{});
}

}  // namespace devsim_test
