// The TCP stream against devsim: the request, reconnection after every kind of loss, and the
// methods that steer the worker.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "fixture.h"

namespace {

using devsim::Fault;
using zubr_test::F;
using zubr_test::MsBetween;
using zubr_test::ReceiveFixture;
using zubr_test::StartDevice;
using zubr_test::WaitUntil;

using Steady = std::chrono::steady_clock;

long long MsSince(Steady::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - t).count();
}

class ReceiveStream : public ReceiveFixture {};

TEST_F(ReceiveStream, SendsTheExactRequestAndReadsTheStream) {
  auto device = StartDevice();
  Play("127.0.0.1", device->http_port());
  ASSERT_TRUE(device->stats().WaitForConnections(1, 3000));
  ASSERT_TRUE(WaitUntil([&] { return stats().bytes_read >= 10 * 524; }, 5000));
  const auto requests = device->stats().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], "GET /api/audio?lowdelay=1 HTTP/1.1\r\nHOST:127.0.0.1\r\n\r\n");
  EXPECT_EQ(device->stats().connections(), 1);
  EXPECT_EQ(stats().read_errors, 0u);
  // One read per pass, at most one packet's worth.
  EXPECT_LE(stats().bytes_read, stats().reads * 524ull);
  EXPECT_EQ(control_.Reload(), automation::kS_OK);
  EXPECT_EQ(control_.State(), zubr::kIdle);
  EXPECT_EQ(stats().worker_ends, 1u);
}

TEST_F(ReceiveStream, HostHeaderCarriesTheNameAsGiven) {
  auto device = StartDevice();
  Play("localhost", device->http_port());  // answered by /etc/hosts
  ASSERT_TRUE(device->stats().WaitForConnections(1, 3000));
  ASSERT_TRUE(WaitUntil([&] { return device->stats().requests().size() == 1; }, 3000));
  EXPECT_EQ(device->stats().requests()[0], "GET /api/audio?lowdelay=1 HTTP/1.1\r\nHOST:localhost\r\n\r\n");
}

// Each loss of the stream leads to a new connection; the pause before it depends on the loss.
TEST_F(ReceiveStream, ReconnectsAfterTheDeviceCloses) {
  struct Case {
    const char* name;
    Fault fault;
    long long min_gap_ms;  // from the first accept to the second
  };
  const Case cases[] = {
      {"close at once", F(Fault::Kind::kClose), 300},
      {"close after 3 packets", F(Fault::Kind::kCloseAfter, 3), 2 * 64 + 300},
      {"reset after 2 packets", F(Fault::Kind::kResetAfter, 2), 64},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    auto device = StartDevice({row.fault});
    zubr_test::Player player("127.0.0.1", device->http_port());
    ASSERT_EQ(player.played, automation::kS_OK);
    zubr::CReceiveAudio& control = player.control;
    ASSERT_TRUE(device->stats().WaitForConnections(2, 5000));
    const auto accepts = device->stats().accept_times();
    const long long gap = MsBetween(accepts[0], accepts[1]);
    EXPECT_GE(gap, row.min_gap_ms);
    EXPECT_LT(gap, 3000);
    EXPECT_GE(control.Stats().playback_resets, 1u);
    // The second connection streams normally.
    const auto before = control.Stats().bytes_read.load();
    ASSERT_TRUE(WaitUntil([&] { return control.Stats().bytes_read >= before + 3 * 524; }, 5000));
  }
}

TEST_F(ReceiveStream, RetriesARefusedConnectUntilTheDeviceListens) {
  // A bound socket that does not listen refuses connections and keeps the port this test's own,
  // so no other test's listener can take it meanwhile.
  const plat::Socket holder = plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0);
  ASSERT_EQ(plat::SocketBind(holder, plat::MakeIPv4Address(plat::ParseIPv4("127.0.0.1"), 0)), 0);
  plat::SockAddr bound;
  ASSERT_EQ(plat::SocketGetName(holder, &bound), 0);
  const std::uint16_t port = bound.Port();
  Play("127.0.0.1", port);
  ASSERT_TRUE(WaitUntil([&] { return stats().connect_failures + stats().tcp_open_failures >= 3; }, 3000));
  EXPECT_EQ(control_.State(), zubr::kPlaying);
  EXPECT_EQ(stats().requests_sent, 0u);
  plat::SocketClose(holder);
  auto device = StartDevice({}, port);
  ASSERT_TRUE(device->stats().WaitForConnections(1, 3000));
  ASSERT_TRUE(WaitUntil([&] { return stats().bytes_read >= 3 * 524; }, 5000));
}

TEST_F(ReceiveStream, AStalledDeviceIsDroppedAfterFiveSeconds) {
  auto device = StartDevice({F(Fault::Kind::kStall)});
  Play("127.0.0.1", device->http_port());
  ASSERT_TRUE(device->stats().WaitForConnections(1, 3000));
  ASSERT_TRUE(device->stats().WaitForConnections(2, 9000));
  const auto accepts = device->stats().accept_times();
  EXPECT_GE(MsBetween(accepts[0], accepts[1]), 4900);
  EXPECT_EQ(stats().stalls, 1u);
  // The device notices the first connection's close on its own time.
  // A bool, not a reference into the temporary vector<bool>.
  EXPECT_TRUE(WaitUntil([&]() -> bool { return device->stats().peer_closed()[0]; }, 3000));
  ASSERT_TRUE(WaitUntil([&] { return stats().bytes_read >= 3 * 524; }, 5000));
}

TEST_F(ReceiveStream, StopDropsTheConnectionAndPlayResumesTheSameWorker) {
  auto device = StartDevice();
  Play("127.0.0.1", device->http_port());
  ASSERT_TRUE(device->stats().WaitForPackets(3, 3000));
  EXPECT_EQ(control_.Stop(), automation::kS_OK);
  EXPECT_EQ(control_.State(), zubr::kStopped);
  ASSERT_TRUE(device->stats().WaitForOpenConnections(0, 3000));
  // No reconnection while stopped.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(device->stats().connections(), 1);
  EXPECT_EQ(control_.Play(), automation::kS_OK);
  ASSERT_TRUE(device->stats().WaitForConnections(2, 3000));
  EXPECT_EQ(stats().worker_starts, 1u);
}

TEST_F(ReceiveStream, ReloadEndsTheWorkerAndPlayReadsSettingsAfresh) {
  auto first = StartDevice();
  auto second = StartDevice();
  Play("127.0.0.1", first->http_port());
  ASSERT_TRUE(first->stats().WaitForPackets(2, 3000));
  const auto t0 = Steady::now();
  EXPECT_EQ(control_.Reload(), automation::kS_OK);
  EXPECT_LT(MsSince(t0), 1500);
  EXPECT_EQ(control_.State(), zubr::kIdle);
  EXPECT_EQ(stats().worker_ends, 1u);
  control_.put_Port(second->http_port());
  EXPECT_EQ(control_.Play(), automation::kS_OK);
  ASSERT_TRUE(second->stats().WaitForConnections(1, 3000));
  EXPECT_EQ(stats().worker_starts, 2u);
  EXPECT_EQ(first->stats().connections(), 1);
}

TEST_F(ReceiveStream, WindowDestructionEndsTheWorkerAtOnceEvenWhileStalled) {
  auto device = StartDevice({F(Fault::Kind::kStall)});
  Play("127.0.0.1", device->http_port());
  ASSERT_TRUE(device->stats().WaitForConnections(1, 3000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the worker now waits on the stall
  const auto t0 = Steady::now();
  control_.OnDestroyWindow();
  EXPECT_LT(MsSince(t0), 1000);  // not the 5 s the stall detector would take
  EXPECT_EQ(stats().worker_ends, 1u);
  EXPECT_TRUE(device->stats().WaitForOpenConnections(0, 3000));
}

TEST_F(ReceiveStream, OddDataIsReadWithoutHarm) {
  struct Case {
    const char* name;
    Fault fault;
    bool packets;  // whether packets are found in what follows the header
  };
  const Case cases[] = {
      {"endless data without a marker", F(Fault::Kind::kNoise), false},
      {"garbage before the first marker", F(Fault::Kind::kGarbage, 3000), true},
      {"header and packet bytes in one read", F(Fault::Kind::kSplit, 100), true},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    auto device = StartDevice({row.fault});
    zubr_test::Player player("127.0.0.1", device->http_port());
    ASSERT_EQ(player.played, automation::kS_OK);
    zubr::CReceiveAudio& control = player.control;
    ASSERT_TRUE(WaitUntil([&] { return control.Stats().bytes_read >= 8 * 524; }, 5000));
    EXPECT_EQ(device->stats().connections(), 1);
    EXPECT_EQ(control.Stats().read_errors, 0u);
    // The read that carries the header is dropped whole, whatever else it holds.
    EXPECT_EQ(control.Stats().http_reads, 1u);
    if (row.packets) EXPECT_TRUE(WaitUntil([&] { return control.Stats().packets_played >= 3; }, 5000));
    else EXPECT_EQ(control.Stats().packets, 0u);
  }
}

// Unusable addresses and ports are failed openings, retried on every pass; nothing reaches
// the page and the control stays responsive.
TEST_F(ReceiveStream, UnusableAddressesAndPortsAreRetried) {
  struct Case {
    const char* ip;
    std::int32_t port;
  };
  const Case cases[] = {{"", 80}, {"127.0.0.1", -1}, {"127.0.0.1", 0}, {"127.0.0.1", 65535}, {"::1", 1}};
  for (const Case& row : cases) {
    SCOPED_TRACE(std::string(row.ip) + ":" + std::to_string(row.port));
    zubr_test::Player player(row.ip, row.port);
    ASSERT_EQ(player.played, automation::kS_OK);
    zubr::CReceiveAudio& control = player.control;
    ASSERT_TRUE(WaitUntil([&] {
      return control.Stats().tcp_open_failures + control.Stats().connect_failures >= 3;
    }, 3000));
    EXPECT_EQ(control.Stats().requests_sent, 0u);
    const auto t0 = Steady::now();
    EXPECT_EQ(control.Reload(), automation::kS_OK);
    EXPECT_LT(MsSince(t0), 1000);
  }
}

// The container's thread keeps changing the settings while the worker connects and
// reconnects: every request the device sees names one of the addresses that were set.
// StreamType is read when the worker starts; the writes begin once it is in its TCP loop, or
// a worker catching the brief 1 would (rightly) wait for multicast until a Reload.
TEST_F(ReceiveStream, SettingsChangedWhileTheWorkerConnects) {
  std::vector<Fault> closes(200, F(Fault::Kind::kClose));
  auto device = StartDevice(closes);
  Play("127.0.0.1", device->http_port());
  ASSERT_TRUE(WaitUntil([&] { return control_.Stats().connects >= 1; }, 5000));
  const auto end = Steady::now() + std::chrono::milliseconds(2000);
  int i = 0;
  while (Steady::now() < end) {
    control_.put_IP(i % 3 == 0 ? "localhost" : "127.0.0.1");
    control_.put_Port(i % 5 == 0 ? 1 : device->http_port());
    control_.put_StreamType(i % 7 == 0 ? 1 : 0);
    control_.put_StreamType(0);
    ++i;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  control_.put_IP("127.0.0.1");
  control_.put_Port(device->http_port());
  EXPECT_GE(device->stats().connections(), 2);
  for (const std::string& r : device->stats().requests()) {
    if (r.empty()) continue;  // a connection closed at once reads nothing
    EXPECT_TRUE(r == "GET /api/audio?lowdelay=1 HTTP/1.1\r\nHOST:127.0.0.1\r\n\r\n" ||
                r == "GET /api/audio?lowdelay=1 HTTP/1.1\r\nHOST:localhost\r\n\r\n")
        << r;
  }
  EXPECT_EQ(control_.Reload(), automation::kS_OK);
}

}  // namespace
