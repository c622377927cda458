// How the control finds, opens, keeps and gives up its connection: the port's low 16 bits, IP
// literals and names, refused and unanswered connects, and a camera that closes or resets.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "fixture.h"
#include "platform/net.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "tests/support/netns.h"

namespace orucam_test {
namespace {

using orucam::kAckDiffers;
using orucam::kAckMatched;
using orucam::kNotConnected;
using testsupport::InPrivateNetwork;

// Only lo, so that no name look-up and no connect can leave the namespace.
constexpr const char* kLoopbackOnly = "ip link set lo up";
// Also addresses routed into lo that nobody holds: a connect to them is never answered.
constexpr const char* kUnansweredAddresses = "ip link set lo up && ip route add 10.213.0.0/24 dev lo";

TEST_F(CameraTest, OnlyThePortsLow16BitsCount) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  const std::int32_t port = device_->camera_port();
  const std::int32_t ports[] = {port, port + 65536, port + 3 * 65536, port - 65536};
  int connections = 0;
  for (const std::int32_t put : ports) {
    SCOPED_TRACE(put);
    orucam::CCamCtl control;
    control.put_IP("127.0.0.1");
    control.put_Port(put);
    EXPECT_EQ(SendCmd(control, "01", 0x90), kAckMatched);
    EXPECT_EQ(camera().connections(), ++connections);
    std::int32_t got = 0;
    control.get_Port(&got);
    EXPECT_EQ(got, put);  // kept as put; only the connect narrows it
  }
}

TEST_F(CameraTest, DottedIPIsUsedWithoutALookUp) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  EXPECT_EQ(Send("01", 0x90), kAckMatched);
  std::string ip;
  control_.get_IP(&ip);
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(control_.Stats().lookups, 0u);
}

TEST_F(CameraTest, NameIsLookedUpOnceAndIPThenHoldsItsAddress) {
  ASSERT_NO_FATAL_FAILURE(StartCamera({"close-after-first"}));
  control_.put_IP("localhost");  // /etc/hosts answers it
  EXPECT_EQ(Send("01", 0x00), kAckMatched);  // closed unanswered: compared with 0
  std::string ip;
  control_.get_IP(&ip);
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(Send("02", 0x90), kAckMatched);  // a second connect, by address
  EXPECT_EQ(camera().connections(), 2);
  EXPECT_EQ(control_.Stats().lookups, 1u);
}

TEST(CameraLookUp, NameThatCannotBeLookedUpReturnsTwoAndKeepsIP) {
  if (!InPrivateNetwork(kLoopbackOnly)) return;
  const std::string names[] = {"camera-nobody-has.invalid", "999.1.2.3", "", std::string(100000, 'c')};
  for (const std::string& name : names) {
    SCOPED_TRACE(name.substr(0, 40));
    orucam::CCamCtl control;
    control.put_IP(name);
    EXPECT_EQ(SendCmd(control, "01", 0x00), kNotConnected);
    EXPECT_FALSE(control.Connected());
    std::string ip;
    control.get_IP(&ip);
    EXPECT_EQ(ip, name);
  }
}

TEST_F(CameraTest, RefusedConnectReturnsTwoAndTheNextCommandConnects) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  ASSERT_TRUE(device_->SetCameraRefusing(true));
  EXPECT_EQ(Send("01", 0x90), kNotConnected);
  EXPECT_FALSE(control_.Connected());
  ASSERT_TRUE(device_->SetCameraRefusing(false));
  EXPECT_EQ(Send("02", 0x90), kAckMatched);
  EXPECT_EQ(Received(1, 1), Bytes({0x02}));
  EXPECT_EQ(control_.Stats().connect_failures, 1u);
}

// The connect gives up at its own limit, and the socket is forgotten: the next command connects
// again, here to a camera that answers.
TEST(CameraConnectLimit, UnansweredConnectGivesUpAtItsLimit) {
  if (!InPrivateNetwork(kUnansweredAddresses)) return;
  orucam::CCamCtl control;
  control.put_IP("10.213.0.2");
  control.put_Port(49153);
  const Steady::time_point start = Steady::now();
  EXPECT_EQ(SendCmd(control, "01", 0x00), kNotConnected);
  const long long spent = MsSince(start);
  EXPECT_GE(spent, orucam::kConnectLimitMs - kEarlySlackMs);
  EXPECT_LE(spent, orucam::kConnectLimitMs + kLateBoundMs);
  EXPECT_FALSE(control.Connected());
  EXPECT_EQ(control.Stats().connect_timeouts, 1u);

  const auto device = StartCameraDevice();
  PointAt(control, *device);
  EXPECT_EQ(SendCmd(control, "02", 0x90), kAckMatched);
  EXPECT_EQ(control.Stats().connects, 1u);
}

// The camera ends the first connection while a command waits for its reply: that command is
// compared with 0x00 and the next one connects afresh.
TEST(CameraEndings, ClosedOrResetConnectionMakesTheNextCommandReconnect) {
  for (const char* ending : {"close", "close-after-first", "reset"}) {
    SCOPED_TRACE(ending);
    const auto device = StartCameraDevice({ending});
    orucam::CCamCtl control;
    PointAt(control, *device);
    EXPECT_EQ(SendCmd(control, "01", 0x00), kAckMatched);
    EXPECT_FALSE(control.Connected());
    EXPECT_EQ(SendCmd(control, "02", 0x90), kAckMatched);
    EXPECT_TRUE(control.Connected());
    EXPECT_EQ(device->camera_stats().connections(), 2);
  }
}

// A listener of the test's own on 127.0.0.1, on a port the system picks.
void ListenOnLoopback(plat::Socket* listener, plat::SockAddr* where) {
  *listener = plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0);
  ASSERT_EQ(plat::SocketBind(*listener, plat::MakeIPv4Address(plat::ParseIPv4("127.0.0.1"), 0)), 0);
  ASSERT_EQ(plat::SocketGetName(*listener, where), 0);
  ASSERT_EQ(plat::SocketListen(*listener, 4), 0);
}

// A camera of the test's own that answers the first command and then closes the connection,
// so the close is waiting when the next command starts.
struct AnswerThenClose {
  plat::Socket listener = plat::kInvalidSocket;
  plat::Event first_closed{true, false};
  std::atomic<int> accepted{0};

  static unsigned Run(void* arg) {
    auto* self = static_cast<AnswerThenClose*>(arg);
    for (int i = 0; i < 2; ++i) {
      const plat::Socket c = plat::SocketAccept(self->listener, nullptr);
      if (c == plat::kInvalidSocket) return 1;
      ++self->accepted;
      char buf[64];
      const unsigned char reply = 0x90;
      if (plat::SocketRecv(c, buf, sizeof buf) > 0) plat::SocketSend(c, &reply, 1);
      if (i == 0) {
        plat::SocketClose(c);
        self->first_closed.Set();
      } else {
        plat::SocketShutdown(c, plat::Shutdown::kSend);
        plat::SocketRecv(c, buf, sizeof buf);  // until the control goes
        plat::SocketClose(c);
      }
    }
    return 0;
  }
};

TEST(CameraClosedBetweenCommands, CloseWaitingBeforeACommandMakesItReconnect) {
  std::uint16_t granted = 0;
  ASSERT_EQ(plat::NetStartup(0x0202, &granted), 0);
  AnswerThenClose camera;
  plat::SockAddr where;
  ASSERT_NO_FATAL_FAILURE(ListenOnLoopback(&camera.listener, &where));
  plat::Thread thread;
  ASSERT_TRUE(thread.Start(&AnswerThenClose::Run, &camera));
  {
    orucam::CCamCtl control;
    PointAt(control, where);
    EXPECT_EQ(SendCmd(control, "01", 0x90), kAckMatched);
    ASSERT_EQ(plat::WaitForEvent(&camera.first_closed, kDevsimBoundMs), 0u);
    plat::SleepMs(200);  // loopback delivers the close at once; this only spares a busy machine
    // Sent on the closed connection, this would read its end (0 bytes) and return 1.
    EXPECT_EQ(SendCmd(control, "02", 0x90), kAckMatched);
    EXPECT_EQ(control.Stats().connects, 2u);
  }
  if (camera.accepted < 2) {
    // The control never came back: release the camera's accept so its thread can end.
    const plat::Socket nudge = plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0);
    plat::SocketConnect(nudge, where);
    plat::SocketClose(nudge);
  }
  EXPECT_TRUE(thread.Join(kDevsimBoundMs));
  EXPECT_EQ(camera.accepted.load(), 2);
  plat::SocketClose(camera.listener);
  plat::NetCleanup();
}

// A camera of the test's own that answers the first command, then sends without end.
struct AnswerThenFlood {
  plat::Socket listener = plat::kInvalidSocket;
  plat::Event flooding{true, false};

  static unsigned Run(void* arg) {
    auto* self = static_cast<AnswerThenFlood*>(arg);
    const plat::Socket c = plat::SocketAccept(self->listener, nullptr);
    if (c == plat::kInvalidSocket) return 1;
    char buf[64];
    const unsigned char reply = 0x90;
    if (plat::SocketRecv(c, buf, sizeof buf) > 0) plat::SocketSend(c, &reply, 1);
    unsigned char noise[4096];
    std::memset(noise, 0x41, sizeof noise);
    // Told only once the first of the flood is on its way, so the next command finds it waiting.
    bool told = false;
    while (plat::SocketSend(c, noise, sizeof noise) > 0) {
      if (!told) self->flooding.Set();
      told = true;
    }
    plat::SocketClose(c);
    return 0;
  }
};

// Late input is thrown away before a command, but only up to a bound: a camera that never stops
// sending cannot hold the page, and what it sends then counts as the reply.
TEST(CameraFlood, EndlessLateInputDoesNotHoldTheCommand) {
  std::uint16_t granted = 0;
  ASSERT_EQ(plat::NetStartup(0x0202, &granted), 0);
  AnswerThenFlood camera;
  plat::SockAddr where;
  ASSERT_NO_FATAL_FAILURE(ListenOnLoopback(&camera.listener, &where));
  plat::Thread thread;
  ASSERT_TRUE(thread.Start(&AnswerThenFlood::Run, &camera));
  {
    orucam::CCamCtl control;
    PointAt(control, where);
    EXPECT_EQ(SendCmd(control, "01", 0x90), kAckMatched);
    ASSERT_EQ(plat::WaitForEvent(&camera.flooding, kDevsimBoundMs), 0u);
    plat::SleepMs(200);  // loopback delivers at once; this only spares a busy machine
    EXPECT_EQ(SendCmd(control, "02", 0x90), kAckDiffers);  // the flood's 0x41
    EXPECT_TRUE(control.Connected());
    EXPECT_GT(control.Stats().discarded_bytes, 0u);
  }
  EXPECT_TRUE(thread.Join(kDevsimBoundMs));  // the control's close ends the flood
  plat::SocketClose(camera.listener);
  plat::NetCleanup();
}

TEST_F(CameraTest, ReleasingTheControlClosesItsConnection) {
  ASSERT_NO_FATAL_FAILURE(StartCamera());
  {
    orucam::CCamCtl control;
    PointAt(control, *device_);
    EXPECT_EQ(SendCmd(control, "01", 0x90), kAckMatched);
    ASSERT_TRUE(camera().WaitForOpenConnections(1, kDevsimBoundMs));
  }
  EXPECT_TRUE(camera().WaitForOpenConnections(0, kDevsimBoundMs));
}

}  // namespace
}  // namespace orucam_test
