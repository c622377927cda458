// The camera command port as a control sees it on 127.0.0.1: the answers of a plan, the bytes
// it records and the lines it logs.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <regex>

#include "camera_fixture.h"
#include "client.h"
#include "devsim/devsim.h"

namespace devsim_test {
namespace {

using devsim::CameraAnswer;
using devsim::CameraOptions;
using devsim::Device;
using Clock = std::chrono::steady_clock;

TEST(DevsimCamera, EachAnswerHasItsShapeOnTheWire) {
  const struct {
    const char* answer;
    bool sends;  // the client sends a command first
    std::function<void(Client&, const devsim::Stats&, Clock::time_point sent)> check;
  } rows[] = {
      {"reply", true,
       [](Client& c, const devsim::Stats& s, Clock::time_point) {
         EXPECT_EQ(c.ReadSome(3000).data, "\x90");
         EXPECT_TRUE(s.WaitForReplies(1, 1, 2000));
       }},
      {"reply:41:42@600", true,
       [](Client& c, const devsim::Stats&, Clock::time_point sent) {
         EXPECT_EQ(c.ReadExactly(2, 5000).data, "\x41\x42");
         EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(600));
       }},
      {"silent", true,
       [](Client& c, const devsim::Stats& s, Clock::time_point) {
         EXPECT_TRUE(c.ReadSome(300).timed_out);
         EXPECT_EQ(s.open_connections(), 1);
         EXPECT_EQ(s.Connections()[0].replies, 0u);
       }},
      {"close", false,
       [](Client& c, const devsim::Stats& s, Clock::time_point) {
         const ReadResult r = c.ReadToEnd(3000);
         EXPECT_TRUE(r.eof);
         EXPECT_EQ(r.data, "");
         EXPECT_TRUE(s.WaitForOpenConnections(0, 3000));
       }},
      {"close-after-first", true,
       [](Client& c, const devsim::Stats&, Clock::time_point) {
         const ReadResult r = c.ReadToEnd(3000);
         EXPECT_TRUE(r.eof);
         EXPECT_EQ(r.data, "");
       }},
      {"reset", true,
       [](Client& c, const devsim::Stats&, Clock::time_point) {
         const ReadResult r = c.ReadToEnd(3000);
         EXPECT_EQ(r.error, ECONNRESET);
         EXPECT_EQ(r.data, "");
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.answer);
    CameraOptions camera;
    camera.plan = {Answer(row.answer)};
    auto device = StartCamera(camera);
    Client client(device->camera_port());
    ASSERT_TRUE(client.connected());
    const Clock::time_point sent = Clock::now();
    if (row.sends) {
      ASSERT_TRUE(client.Send(kCameraCommand));
    }
    row.check(client, device->camera_stats(), sent);
    if (row.sends) {
      EXPECT_TRUE(device->camera_stats().WaitForReceived(1, kCameraCommand.size(), 2000));
    }
    const std::string received = row.sends ? kCameraCommand : "";
    EXPECT_EQ(device->camera_stats().received_per_connection(), std::vector<std::string>{received});
    EXPECT_EQ(device->stats().connections(), 0);  // the HTTP side counts its own
  }
}

TEST(DevsimCamera, RecordsEveryChunkOfAConnectionAndLogsEach) {
  EventLines lines;
  CameraOptions camera;
  camera.default_answer = Answer("reply:90:41");
  auto device = StartCamera(camera, &lines);
  const devsim::Stats& stats = device->camera_stats();
  Client client(device->camera_port());
  ASSERT_TRUE(client.connected());
  const std::string chunks[] = {kCameraCommand, std::string("\x81\x09\x04\x00\xFF", 5), std::string(1, '\0')};
  std::string all;
  for (const std::string& chunk : chunks) {
    ASSERT_TRUE(client.Send(chunk));
    // The reply comes after the device read the chunk, so each chunk is a read of its own.
    EXPECT_EQ(client.ReadExactly(2, 3000).data, "\x90\x41");
    all += chunk;
  }
  EXPECT_EQ(stats.received_per_connection(), std::vector<std::string>{all});
  EXPECT_TRUE(stats.WaitForReplies(1, 3, 2000));
  client.Close();
  ASSERT_TRUE(lines.WaitFor("camera 1 closed", 3000));

  // Without the peer's port, and without the HTTP side's lines.
  const std::regex peer_port(" from ([0-9.]+):[0-9]+");
  std::vector<std::string> got;
  for (const std::string& line : lines.lines())
    if (line.rfind("camera ", 0) == 0) got.push_back(std::regex_replace(line, peer_port, " from $1"));
  EXPECT_EQ(got, (std::vector<std::string>{
                     "camera listening",
                     "camera 1 from 127.0.0.1 (reply:90:41)",
                     "camera 1 received 81 01 04 00 02 FF",
                     "camera 1 sent 90 41",
                     "camera 1 received 81 09 04 00 FF",
                     "camera 1 sent 90 41",
                     "camera 1 received 00",
                     "camera 1 sent 90 41",
                     "camera 1 closed (by peer)",
                 }));
}

TEST(DevsimCamera, RepliesToEachChunkInTurnWhenDelayed) {
  CameraOptions camera;
  camera.default_answer = Answer("reply:55@300");
  auto device = StartCamera(camera);
  Client client(device->camera_port());
  ASSERT_TRUE(client.Send(kCameraCommand));
  ASSERT_TRUE(device->camera_stats().WaitForReceived(1, kCameraCommand.size(), 2000));
  ASSERT_TRUE(client.Send(kCameraCommand));
  EXPECT_EQ(client.ReadExactly(2, 5000).data, "\x55\x55");
  EXPECT_TRUE(client.ReadSome(300).timed_out);  // one reply per chunk, no more
}

TEST(DevsimCamera, NumbersConnectionsInOrderAndFollowsThePlan) {
  CameraOptions camera;
  camera.plan = {Answer("reply:41"), Answer("silent")};
  camera.default_answer = Answer("reply:42");
  auto device = StartCamera(camera);
  const devsim::Stats& stats = device->camera_stats();
  std::vector<std::unique_ptr<Client>> clients;
  for (int n = 1; n <= 4; ++n) {
    clients.push_back(std::make_unique<Client>(device->camera_port()));
    ASSERT_TRUE(stats.WaitForConnections(n, 3000));
    ASSERT_TRUE(clients.back()->Send(std::string(1, static_cast<char>(n))));
    ASSERT_TRUE(stats.WaitForReceived(n, 1, 3000));
  }
  EXPECT_EQ(clients[0]->ReadSome(3000).data, "\x41");
  EXPECT_TRUE(clients[1]->ReadSome(300).timed_out);
  EXPECT_EQ(clients[2]->ReadSome(3000).data, "\x42");
  EXPECT_EQ(clients[3]->ReadSome(3000).data, "\x42");
  EXPECT_EQ(stats.connections(), 4);
  EXPECT_EQ(stats.received_per_connection(), (std::vector<std::string>{"\x01", "\x02", "\x03", "\x04"}));
}

TEST(DevsimCamera, StopEndsCameraConnectionsPromptly) {
  EventLines lines;
  CameraOptions camera;
  camera.plan = {Answer("silent"), Answer("reply@60000")};
  auto device = StartCamera(camera, &lines);
  Client silent(device->camera_port());
  ASSERT_TRUE(device->camera_stats().WaitForConnections(1, 3000));
  Client late(device->camera_port());
  ASSERT_TRUE(late.Send(kCameraCommand));
  ASSERT_TRUE(device->camera_stats().WaitForReceived(2, kCameraCommand.size(), 3000));

  const Clock::time_point start = Clock::now();
  device->Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(device->camera_stats().open_connections(), 0);
  EXPECT_TRUE(silent.ReadToEnd(2000).eof);
  EXPECT_TRUE(lines.WaitFor("camera 2 closed (at stop)", 0));
}

}  // namespace
}  // namespace devsim_test
