// The HTTP audio stream as a receiver sees it on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "audio_common/packet.h"
#include "client.h"
#include "devsim/audio_route.h"
#include "devsim/devsim.h"

namespace devsim_test {
namespace {

using devsim::Device;
using devsim::DeviceOptions;
using devsim::Fault;
using Clock = std::chrono::steady_clock;

const std::string kHeader(devsim::kAudioResponseHeader);

std::uint32_t Word(const std::string& bytes, std::size_t at) {
  return audio::GetBigEndian32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}

// Checks packets [first, first + count) of a stream that starts at bytes[0].
void ExpectPackets(const std::string& bytes, std::size_t count) {
  ASSERT_GE(bytes.size(), count * audio::kPacketBytes);
  for (std::size_t k = 0; k < count; ++k) {
    SCOPED_TRACE("packet " + std::to_string(k));
    const std::size_t at = k * audio::kPacketBytes;
    EXPECT_EQ(Word(bytes, at), 128u);
    EXPECT_EQ(Word(bytes, at + 4), 512u);
    EXPECT_EQ(Word(bytes, at + 8), 512u * k);
  }
}

TEST(DevsimStream, StreamsPacketsInRealTimeAndRecordsTheRequest) {
  Device device(DeviceOptions{});
  std::string error;
  ASSERT_TRUE(device.Start(&error)) << error;

  const Clock::time_point start = Clock::now();
  Client client(device.http_port());
  ASSERT_TRUE(client.connected());
  ASSERT_TRUE(client.Send(kAudioRequest));
  const ReadResult header = client.ReadExactly(kHeader.size(), 2000);
  EXPECT_EQ(header.data, kHeader);
  const ReadResult packets = client.ReadExactly(20 * audio::kPacketBytes, 5000);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ExpectPackets(packets.data, 20);
  // Nineteen periods after the first packet; a burst or a stall would fall outside.
  EXPECT_GE(seconds, 1.0);
  EXPECT_LE(seconds, 2.5);

  EXPECT_EQ(device.stats().requests(), std::vector<std::string>{std::string(kAudioRequest)});
  EXPECT_TRUE(device.stats().WaitForPackets(20, 1000));
  EXPECT_EQ(device.stats().open_connections(), 1);
  client.Close();
  EXPECT_TRUE(device.stats().WaitForOpenConnections(0, 2000));
  EXPECT_EQ(device.stats().peer_closed(), std::vector<bool>{true});
}

TEST(DevsimStream, AnswersEachWayARequestCanEnd) {
  struct Row {
    const char* name;
    std::string request;
    bool half_close;  // the client shuts its sending side after the request
    std::string answer;  // what the response starts with
  };
  const std::string k404 = "HTTP/1.1 404 Not Found\r\n\r\n";
  const Row rows[] = {
      {"unknown path", "GET /api/nothing HTTP/1.1\r\n\r\n", false, k404},
      {"other method", "POST /api/audio HTTP/1.1\r\nContent-Length: 0\r\n\r\n", false, k404},
      {"not a request line", "hello\r\n\r\n", false, k404},
      {"no empty line, then quiet", "GET /api/audio?lowdelay=1 HTTP/1.0\r\n", false, kHeader},
      {"no empty line, then half-close", "GET /api/audio?lowdelay=1 HTTP/1.0", true, kHeader},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Device device(DeviceOptions{});
    std::string error;
    ASSERT_TRUE(device.Start(&error)) << error;
    Client client(device.http_port());
    ASSERT_TRUE(client.Send(row.request));
    if (row.half_close) client.ShutdownSending();
    const ReadResult got = client.ReadExactly(row.answer.size(), 3000);
    EXPECT_EQ(got.data, row.answer);
    if (row.answer == k404) {
      EXPECT_TRUE(client.ReadToEnd(3000).eof);
    } else {
      ExpectPackets(client.ReadExactly(2 * audio::kPacketBytes, 3000).data, 2);
    }
    EXPECT_EQ(device.stats().requests(), std::vector<std::string>{row.request});
    // Even with the client's sending side shut, its close is noticed.
    client.Close();
    EXPECT_TRUE(device.stats().WaitForOpenConnections(0, 3000));
  }
}

TEST(DevsimStream, FaultsGoToConnectionsInOrderOfAcceptance) {
  DeviceOptions options;
  options.faults = {Fault{Fault::Kind::kClose, 0}, Fault{}};
  options.default_fault = Fault{Fault::Kind::kCloseAfter, 1};
  Device device(options);
  std::string error;
  ASSERT_TRUE(device.Start(&error)) << error;

  Client first(device.http_port());
  ASSERT_TRUE(device.stats().WaitForConnections(1, 2000));
  Client second(device.http_port());
  ASSERT_TRUE(device.stats().WaitForConnections(2, 2000));
  Client third(device.http_port());
  ASSERT_TRUE(device.stats().WaitForConnections(3, 2000));
  for (Client* c : {&first, &second, &third}) ASSERT_TRUE(c->Send(kAudioRequest));

  const ReadResult one = first.ReadToEnd(2000);
  EXPECT_TRUE(one.eof);
  EXPECT_EQ(one.data, "");
  // Each stream counts from 0, whatever came before it.
  const ReadResult two = second.ReadExactly(kHeader.size() + 3 * audio::kPacketBytes, 3000);
  ASSERT_EQ(two.data.substr(0, kHeader.size()), kHeader);
  ExpectPackets(two.data.substr(kHeader.size()), 3);
  const ReadResult three = third.ReadToEnd(3000);
  EXPECT_TRUE(three.eof);
  EXPECT_EQ(three.data.size(), kHeader.size() + audio::kPacketBytes);
  EXPECT_EQ(device.stats().requests().size(), 2u);  // the first was never read
}

TEST(DevsimStream, StopEndsEveryConnectionPromptly) {
  DeviceOptions options;
  options.faults = {Fault{Fault::Kind::kStall, 0}, Fault{Fault::Kind::kNoise, 0}};
  Device device(options);
  std::string error;
  ASSERT_TRUE(device.Start(&error)) << error;

  Client stalled(device.http_port());
  ASSERT_TRUE(device.stats().WaitForConnections(1, 2000));
  Client noisy(device.http_port());
  ASSERT_TRUE(device.stats().WaitForConnections(2, 2000));
  Client silent(device.http_port());  // never sends its request
  ASSERT_TRUE(device.stats().WaitForConnections(3, 2000));
  ASSERT_TRUE(stalled.Send(kAudioRequest));
  ASSERT_TRUE(noisy.Send(kAudioRequest));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(device.stats().open_connections(), 3);

  const Clock::time_point start = Clock::now();
  device.Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(device.stats().open_connections(), 0);
  EXPECT_TRUE(stalled.ReadToEnd(2000).eof);
}

}  // namespace
}  // namespace devsim_test
