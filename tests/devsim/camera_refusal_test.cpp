// The camera port refusing connects: closed on request or for a while after start, and
// listening again on the same port, while the connections it took go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "camera_fixture.h"
#include "client.h"

namespace devsim_test {
namespace {

using Clock = std::chrono::steady_clock;

long Count(const std::vector<std::string>& lines, const std::string& line) {
  return std::count(lines.begin(), lines.end(), line);
}

TEST(DevsimCameraRefusal, RefusesOnRequestAndReopensOnTheSamePort) {
  EventLines lines;
  auto device = StartCamera({}, &lines);
  const devsim::Stats& stats = device->camera_stats();
  const std::uint16_t port = device->camera_port();
  ASSERT_NE(port, 0);
  Client kept(port);
  ASSERT_TRUE(kept.connected());
  ASSERT_TRUE(stats.WaitForConnections(1, 3000));
  std::string error;
  // Round after round, so that a reopen which only works now and then shows up.
  for (int round = 1; round <= 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_TRUE(device->SetCameraRefusing(true, &error)) << error;
    ASSERT_TRUE(device->SetCameraRefusing(true, &error)) << error;  // already refusing: no change
    EXPECT_FALSE(Client(port).connected());
    ASSERT_TRUE(kept.Send(kCameraCommand));
    EXPECT_EQ(kept.ReadSome(3000).data, "\x90");

    ASSERT_TRUE(device->SetCameraRefusing(false, &error)) << error;
    EXPECT_EQ(device->camera_port(), port);
    Client next(port);
    ASSERT_TRUE(next.connected());
    ASSERT_TRUE(stats.WaitForConnections(round + 1, 3000));
    ASSERT_TRUE(next.Send(kCameraCommand));
    EXPECT_EQ(next.ReadSome(3000).data, "\x90");
  }
  EXPECT_EQ(stats.connections(), 6);  // a refused connect is never accepted
  const std::vector<std::string> got = lines.lines();
  EXPECT_EQ(Count(got, "camera refusing"), 5);
  EXPECT_EQ(Count(got, "camera listening"), 6);
}

TEST(DevsimCameraRefusal, RefusesForAWhileAfterStartThenListensOnItsPort) {
  EventLines lines;
  devsim::CameraOptions camera;
  camera.refuse_ms = 1000;
  const Clock::time_point before = Clock::now();
  auto device = StartCamera(camera, &lines);
  const std::uint16_t port = device->camera_port();
  ASSERT_NE(port, 0);  // known from the start, for the port file
  {
    Client early(port);
    // A test held up past the refusal would rightly get in; that says nothing.
    if (Clock::now() - before < std::chrono::milliseconds(camera.refuse_ms)) {
      EXPECT_FALSE(early.connected());
    }
  }
  ASSERT_TRUE(lines.WaitFor("camera listening", 10000));
  Client later(port);
  ASSERT_TRUE(later.connected());
  ASSERT_TRUE(later.Send(kCameraCommand));
  EXPECT_EQ(later.ReadSome(3000).data, "\x90");
  std::vector<std::string> got;
  for (const std::string& line : lines.lines())
    if (line.rfind("camera ", 0) == 0) got.push_back(line);
  ASSERT_FALSE(got.size() < 2);
  EXPECT_EQ(got[0], "camera refusing");
  EXPECT_EQ(got[1], "camera listening");
}

TEST(DevsimCameraRefusal, ARequestEndsTheStartsRefusalAndNeedsARunningCamera) {
  devsim::CameraOptions camera;
  camera.refuse_ms = 600000;
  auto device = StartCamera(camera);
  std::string error;
  ASSERT_TRUE(device->SetCameraRefusing(false, &error)) << error;
  EXPECT_TRUE(Client(device->camera_port()).connected());
  device->Stop();
  EXPECT_FALSE(device->SetCameraRefusing(true, &error));
  EXPECT_NE(error, "");

  devsim::Device without(devsim::DeviceOptions{});
  ASSERT_TRUE(without.Start(&error)) << error;
  EXPECT_EQ(without.camera_port(), 0);
  error.clear();
  EXPECT_FALSE(without.SetCameraRefusing(true, &error));
  EXPECT_NE(error, "");
}

}  // namespace
}  // namespace devsim_test
