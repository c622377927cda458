// Commands on the wire and what their replies return, over one kept connection to a devsim
// camera.
#include <gtest/gtest.h>

#include <string>

#include "fixture.h"

namespace orucam_test {
namespace {

using orucam::kAckDiffers;
using orucam::kAckMatched;

TEST_F(CameraTest, CommandTextsReachTheCameraByteForByte) {
  struct Row {
    std::string cmd;
    std::string wire;
  };
  const Row rows[] = {
      {"81:01:04:00:02:FF", Bytes({0x81, 0x01, 0x04, 0x00, 0x02, 0xFF})},
      {"1:2:", Bytes({0x01, 0x02, 0x00})},
      {"", Bytes({0x00})},
      {"0x7F:100:-1:zz:80000001: 7:+A", Bytes({0x7F, 0x00, 0xFF, 0x00, 0xFF, 0x07, 0x0A})},
      {"0000000000000000041", Bytes({0x41})},
  };
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  std::string sent;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.cmd);
    EXPECT_EQ(Send(row.cmd, 0x90), kAckMatched);
    sent += row.wire;
    EXPECT_EQ(Received(1, sent.size()), sent);
  }
  EXPECT_EQ(camera().connections(), 1);
}

TEST_F(CameraTest, LongCommandsAndTokensAreConvertedWhole) {
  std::string many_tokens;  // 100,000 characters, 50,000 colons
  for (int i = 0; i < 50000; ++i) many_tokens += (i % 2 ? "F:" : "1:");
  std::string many_bytes;
  for (int i = 0; i < 50000; ++i) many_bytes += static_cast<char>(i % 2 ? 0x0F : 0x01);
  many_bytes += '\0';  // after the last colon
  const std::string one_token = std::string(99998, '0') + "41";

  ASSERT_NO_FATAL_FAILURE(StartCamera());
  Send(many_tokens, 0x90);
  EXPECT_EQ(Received(1, many_bytes.size()), many_bytes);
  Send(one_token, 0x90);
  EXPECT_EQ(Received(1, many_bytes.size() + 1), many_bytes + "\x41");
}

TEST_F(CameraTest, TextEndsAtAnEmbeddedNul) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  EXPECT_EQ(Send(std::string("81:01\0:FF", 9), 0x90), kAckMatched);
  EXPECT_EQ(Received(1, 2), Bytes({0x81, 0x01}));
}

TEST(CameraReplies, FirstByteIsComparedWithAck) {
  struct Row {
    const char* answer;
    std::uint8_t ack;
    std::uint8_t want;
  };
  const Row rows[] = {
      {"reply:90", 0x90, kAckMatched},
      {"reply:90", 0x41, kAckDiffers},
      {"reply:41:90", 0x41, kAckMatched},  // only the first byte counts
      {"reply:41:90", 0x90, kAckDiffers},
      {"reply:00", 0x00, kAckMatched},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.answer) + " ack " + std::to_string(row.ack));
    const auto device = StartCameraDevice({}, row.answer);
    orucam::CCamCtl control;
    PointAt(control, *device);
    EXPECT_EQ(SendCmd(control, "81:09:04:00:FF", row.ack), row.want);
    EXPECT_EQ(control.Stats().replies, 1u);
  }
}

// No reply within the wait counts as a reply of 0x00, and the connection is kept.
TEST_F(CameraTest, SilentCameraIsComparedAsZeroAfterTheReplyWait) {
  ASSERT_NO_FATAL_FAILURE(StartCamera({}, "silent"));
  for (const std::uint8_t ack : {std::uint8_t{0x00}, std::uint8_t{0x90}}) {
    SCOPED_TRACE(ack);
    const Steady::time_point start = Steady::now();
    EXPECT_EQ(Send("81:01:06:01:FF", ack), ack == 0 ? kAckMatched : kAckDiffers);
    const long long spent = MsSince(start);
    EXPECT_GE(spent, orucam::kReplyWaitMs - kEarlySlackMs);
    EXPECT_LE(spent, kLateBoundMs);
    EXPECT_TRUE(control_.Connected());
  }
  EXPECT_EQ(camera().connections(), 1);
  EXPECT_EQ(control_.Stats().reply_timeouts, 2u);
}

TEST_F(CameraTest, LaterCommandsReuseTheConnection) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Send("81:01:04:00:02:FF", 0x90), kAckMatched);
  EXPECT_EQ(Received(1, 18).size(), 18u);
  EXPECT_EQ(camera().connections(), 1);
  EXPECT_EQ(control_.Stats().connects, 1u);
}

// The reply to the first command comes after its wait; it is thrown away before the second
// command instead of passing for the second command's reply.
TEST_F(CameraTest, LateReplyIsNotTakenForTheNextCommandsReply) {
  ASSERT_NO_FATAL_FAILURE(StartCamera({}, "reply:41@" + std::to_string(orucam::kReplyWaitMs + 500)));
  EXPECT_EQ(Send("01", 0x41), kAckDiffers);
  ASSERT_TRUE(camera().WaitForReplies(1, 1, kDevsimBoundMs));
  EXPECT_EQ(Send("02", 0x41), kAckDiffers);
  EXPECT_EQ(control_.Stats().discarded_bytes, 1u);
  EXPECT_EQ(camera().connections(), 1);
}

// Calls through the member table, as a page's script does.
TEST_F(CameraTest, SendCmdThroughTheMemberTable) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  const automation::Value args[] = {automation::Value::Text("81:01"), automation::Value::Byte(0x90)};
  automation::Value result;
  ASSERT_EQ(control_.Invoke(3, automation::Access::kCall, args, &result), automation::kS_OK);
  EXPECT_EQ(result.type, automation::Type::kUI1);
  EXPECT_EQ(result.number, kAckMatched);
  EXPECT_EQ(Received(1, 2), Bytes({0x81, 0x01}));
}

}  // namespace
}  // namespace orucam_test
