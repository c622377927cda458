// The multicast loop, and the odd host names, each inside a network namespace of its own.
#include <chrono>
#include <string>
#include <thread>

#include "fixture.h"
#include "tests/support/netns.h"

namespace {

using testsupport::InPrivateNetwork;
using testsupport::kLoopbackMulticast;
using testsupport::kVethMulticast;
using zubr_test::ReceiveFixture;
using zubr_test::WaitUntil;

using Steady = std::chrono::steady_clock;

std::unique_ptr<devsim::Device> StartSender(const std::string& group, std::uint16_t port,
                                            const std::string& interface, std::size_t datagram_bytes = 0) {
  devsim::DeviceOptions options;
  devsim::MulticastOptions m;
  m.group = group;
  m.port = port;
  m.interface = interface;
  m.datagram_bytes = datagram_bytes;
  options.multicast = m;
  auto device = std::make_unique<devsim::Device>(std::move(options));
  std::string error;
  EXPECT_TRUE(device->Start(&error)) << error;
  return device;
}

class ReceiveMulticast : public ReceiveFixture {
 protected:
  // Plays the group until packets arrive, then ends the worker by destroying the window.
  void PlayGroupAndDestroy(const std::string& group, std::uint16_t port) {
    Play(group, port, 1);
    ASSERT_TRUE(WaitUntil([&] { return stats().reads >= 5; }, 5000));
    EXPECT_EQ(stats().multicast_joins, 1u);
    EXPECT_EQ(stats().read_errors, 0u);
    EXPECT_EQ(stats().bytes_read, stats().reads * 524ull);
    const auto t0 = Steady::now();
    control_.OnDestroyWindow();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t0).count();
    EXPECT_LT(ms, 1500);  // one receive time-out of 600 ms, with room to spare
    EXPECT_EQ(stats().worker_ends, 1u);
  }
};

TEST_F(ReceiveMulticast, JoinsAnIPv4Group) {
  if (!InPrivateNetwork(kLoopbackMulticast)) return;
  auto device = StartSender("239.255.12.34", 45000, "127.0.0.1");
  PlayGroupAndDestroy("239.255.12.34", 45000);
}

TEST_F(ReceiveMulticast, JoinsAnIPv6Group) {
  if (!InPrivateNetwork(kVethMulticast)) return;
  auto device = StartSender("ff15::1234", 45002, "zv1");
  PlayGroupAndDestroy("ff15::1234", 45002);
}

TEST_F(ReceiveMulticast, OddDatagrams) {
  if (!InPrivateNetwork(kLoopbackMulticast)) return;
  struct Case {
    std::size_t bytes;
    bool read_error;  // longer than a packet: cannot be read whole
  };
  const Case cases[] = {{12, false}, {300, false}, {600, true}, {2000, true}};
  std::uint16_t port = 45010;
  for (const Case& row : cases) {
    SCOPED_TRACE(row.bytes);
    auto device = StartSender("239.255.12.35", port, "127.0.0.1", row.bytes);
    zubr_test::Player player("239.255.12.35", port, 1);
    ASSERT_EQ(player.played, automation::kS_OK);
    zubr::CReceiveAudio& control = player.control;
    if (row.read_error) {
      ASSERT_TRUE(WaitUntil([&] { return control.Stats().read_errors >= 3; }, 5000));
      EXPECT_EQ(control.Stats().reads, 0u);
    } else {
      ASSERT_TRUE(WaitUntil([&] { return control.Stats().reads >= 3; }, 5000));
      EXPECT_EQ(control.Stats().bytes_read, control.Stats().reads * row.bytes);
      // The missing codes are the read buffer's zeros: full-scale negative samples.
      ASSERT_TRUE(WaitUntil([&] { return control.Stats().packets_played >= 3; }, 5000));
      std::uint8_t peak = 255;
      control.get_PeakValue(&peak);
      EXPECT_EQ(peak, 0);
    }
    control.OnDestroyWindow();
    ++port;
  }
}

TEST_F(ReceiveMulticast, StopLeavesTheGroupAndPlayJoinsAgain) {
  if (!InPrivateNetwork(kLoopbackMulticast)) return;
  auto device = StartSender("239.255.12.36", 45020, "127.0.0.1");
  Play("239.255.12.36", 45020, 1);
  ASSERT_TRUE(WaitUntil([&] { return stats().reads >= 3; }, 5000));
  control_.Stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const auto reads = stats().reads.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(stats().reads, reads);
  control_.Play();
  ASSERT_TRUE(WaitUntil([&] { return stats().reads >= reads + 3; }, 5000));
  EXPECT_EQ(stats().multicast_joins, 2u);
  EXPECT_EQ(stats().worker_starts, 1u);
}

// The loop chosen at the worker's start stays until Reload; the next Play follows StreamType.
TEST_F(ReceiveMulticast, StreamTypeTakesEffectAfterReload) {
  if (!InPrivateNetwork(kLoopbackMulticast)) return;
  auto sender = StartSender("239.255.12.37", 45030, "127.0.0.1");
  devsim::DeviceOptions http;
  auto device = std::make_unique<devsim::Device>(http);
  std::string error;
  ASSERT_TRUE(device->Start(&error)) << error;
  Play("127.0.0.1", device->http_port(), 0);
  ASSERT_TRUE(device->stats().WaitForPackets(2, 3000));
  control_.put_StreamType(1);
  control_.put_IP("239.255.12.37");
  control_.put_Port(45030);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(stats().multicast_opens + stats().multicast_open_failures, 0u);
  control_.Reload();
  control_.Play();
  ASSERT_TRUE(WaitUntil([&] { return stats().multicast_joins == 1 && stats().reads >= 20; }, 5000));
}

// Names that no resolver can answer, and a host name given as a group: failed openings,
// retried while playing; nothing crashes and the worker still ends promptly.
TEST_F(ReceiveMulticast, UnresolvableNamesAreRetried) {
  if (!InPrivateNetwork(kLoopbackMulticast)) return;
  struct Case {
    std::string ip;
    std::int32_t stream_type;
  };
  const Case cases[] = {
      {std::string(10000, 'a'), 0}, {std::string(10000, 'a'), 1}, {"localhost", 1},
      {"no-such-host.invalid", 0}, {"239.255.12.38" + std::string(200, '9'), 1},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.ip.substr(0, 40) + " type " + std::to_string(row.stream_type));
    zubr_test::Player player(row.ip, 45040, row.stream_type);
    ASSERT_EQ(player.played, automation::kS_OK);
    zubr::CReceiveAudio& control = player.control;
    ASSERT_TRUE(WaitUntil([&] {
      return control.Stats().tcp_open_failures + control.Stats().multicast_open_failures >= 3;
    }, 5000));
    EXPECT_EQ(control.Stats().multicast_joins, 0u);
    const auto t0 = Steady::now();
    control.OnDestroyWindow();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t0).count(), 1500);
  }
}

}  // namespace
