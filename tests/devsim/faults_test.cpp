// Each fault's shape on the wire, and the fault texts the command takes.
#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "audio_common/packet.h"
#include "client.h"
#include "devsim/audio_route.h"
#include "devsim/devsim.h"

namespace devsim_test {
namespace {

using devsim::Fault;
using Kind = devsim::Fault::Kind;
using Clock = std::chrono::steady_clock;

const std::string kHeader(devsim::kAudioResponseHeader);
constexpr std::size_t kPacket = audio::kPacketBytes;

bool IsPacket(const std::string& bytes, std::size_t at, std::uint32_t counter) {
  if (bytes.size() < at + kPacket) return false;
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data()) + at;
  return audio::GetBigEndian32(p) == 128 && audio::GetBigEndian32(p + 4) == 512 &&
         audio::GetBigEndian32(p + 8) == counter;
}

struct Row {
  const char* text;
  std::function<void(Client&, const devsim::Device&)> check;
};

TEST(DevsimFaults, EachFaultHasItsShapeOnTheWire) {
  const Row rows[] = {
      {"close",
       [](Client& c, const devsim::Device&) {
         const ReadResult r = c.ReadToEnd(2000);
         EXPECT_TRUE(r.eof);
         EXPECT_EQ(r.data, "");
       }},
      {"close-after:3",
       [](Client& c, const devsim::Device&) {
         const ReadResult r = c.ReadToEnd(3000);
         EXPECT_TRUE(r.eof);
         ASSERT_EQ(r.data.size(), kHeader.size() + 3 * kPacket);
         EXPECT_EQ(r.data.substr(0, kHeader.size()), kHeader);
         for (std::uint32_t k = 0; k < 3; ++k) EXPECT_TRUE(IsPacket(r.data, kHeader.size() + k * kPacket, 512 * k));
       }},
      {"stall",
       [](Client& c, const devsim::Device& d) {
         const ReadResult r = c.ReadSome(300);
         EXPECT_TRUE(r.timed_out);
         EXPECT_EQ(r.data, "");
         EXPECT_EQ(d.stats().open_connections(), 1);
         c.Close();
         EXPECT_TRUE(d.stats().WaitForOpenConnections(0, 2000));
         EXPECT_EQ(d.stats().peer_closed(), std::vector<bool>{true});
       }},
      {"split:100",
       [](Client& c, const devsim::Device&) {
         pollfd p{c.fd(), POLLIN, 0};
         ASSERT_EQ(::poll(&p, 1, 2000), 1);
         const Clock::time_point readable = Clock::now();
         std::this_thread::sleep_for(std::chrono::milliseconds(15));
         ReadResult first = c.ReadSome(0);
         // The rest is due with the next packet, 64 ms on; a reader held up past that would
         // see it too, which says nothing about the device.
         if (Clock::now() - readable < std::chrono::milliseconds(50)) {
           EXPECT_EQ(first.data.size(), kHeader.size() + 100);
         }
         const std::size_t have = first.data.size();
         first.data += c.ReadExactly(kHeader.size() + 2 * kPacket - have, 3000).data;
         EXPECT_EQ(first.data.substr(0, kHeader.size()), kHeader);
         EXPECT_TRUE(IsPacket(first.data, kHeader.size(), 0));
         EXPECT_TRUE(IsPacket(first.data, kHeader.size() + kPacket, 512));
       }},
      {"garbage:300",
       [](Client& c, const devsim::Device&) {
         const ReadResult r = c.ReadExactly(kHeader.size() + 300 + 2 * kPacket, 3000);
         ASSERT_EQ(r.data.substr(0, kHeader.size()), kHeader);
         EXPECT_EQ(FindMarker(r.data, kHeader.size()), kHeader.size() + 300);
         EXPECT_TRUE(IsPacket(r.data, kHeader.size() + 300, 0));
         EXPECT_TRUE(IsPacket(r.data, kHeader.size() + 300 + kPacket, 512));
       }},
      {"reset-after:2",
       [](Client& c, const devsim::Device&) {
         const ReadResult r = c.ReadToEnd(3000);
         EXPECT_EQ(r.error, ECONNRESET);
         EXPECT_FALSE(r.eof);
         EXPECT_LE(r.data.size(), kHeader.size() + 2 * kPacket);
         EXPECT_EQ(r.data.substr(0, kHeader.size()), kHeader);
       }},
      {"noise",
       [](Client& c, const devsim::Device&) {
         const ReadResult r = c.ReadExactly(kHeader.size() + 8000, 4000);
         ASSERT_EQ(r.data.size(), kHeader.size() + 8000);
         EXPECT_EQ(r.data.substr(0, kHeader.size()), kHeader);
         const std::string noise = r.data.substr(kHeader.size());
         EXPECT_EQ(FindMarker(noise), std::string::npos);
         EXPECT_EQ(noise.find("HTTP"), std::string::npos);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::string error;
    const std::optional<Fault> fault = devsim::ParseFault(row.text, &error);
    ASSERT_TRUE(fault) << error;
    devsim::DeviceOptions options;
    options.faults = {*fault};
    devsim::Device device(options);
    ASSERT_TRUE(device.Start(&error)) << error;
    Client client(device.http_port());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send(kAudioRequest));
    row.check(client, device);
  }
}

TEST(DevsimFaults, ReadsTheFaultTexts) {
  const struct {
    const char* text;
    std::optional<Fault> fault;
  } rows[] = {
      {"none", Fault{}},
      {"close", Fault{Kind::kClose, 0}},
      {"close-after:37", Fault{Kind::kCloseAfter, 37}},
      {"stall", Fault{Kind::kStall, 0}},
      {"split:100", Fault{Kind::kSplit, 100}},
      {"garbage:0", Fault{Kind::kGarbage, 0}},
      {"reset-after:5", Fault{Kind::kResetAfter, 5}},
      {"noise", Fault{Kind::kNoise, 0}},
      {"split", std::nullopt},
      {"split:", std::nullopt},
      {"split:1x", std::nullopt},
      {"close-after:-1", std::nullopt},
      {"stall:3", std::nullopt},
      {"drop", std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    std::string error;
    const std::optional<Fault> got = devsim::ParseFault(row.text, &error);
    EXPECT_EQ(got, row.fault);
    if (got) EXPECT_EQ(devsim::FaultName(*got), row.text);
    else EXPECT_NE(error.find(row.text), std::string::npos) << error;
  }
}

TEST(DevsimFaults, TheGuardBreaksEveryMarkerAndHttp) {
  // Input made of the patterns' own bytes, so both turn up all the time.
  const std::uint8_t alphabet[] = {0x00, 0x80, 'H', 'T', 'P'};
  std::mt19937 random(7);
  devsim::PatternGuard guard;
  std::string in, out;
  for (int i = 0; i < 200000; ++i) {
    const std::uint8_t b = alphabet[random() % 5];
    in += static_cast<char>(b);
    out += static_cast<char>(guard.Pass(b));
  }
  ASSERT_NE(FindMarker(in), std::string::npos);
  ASSERT_NE(in.find("HTTP"), std::string::npos);
  EXPECT_EQ(FindMarker(out), std::string::npos);
  EXPECT_EQ(out.find("HTTP"), std::string::npos);
  // Only the completing bytes change.
  std::size_t changed = 0;
  for (std::size_t i = 0; i < in.size(); ++i) changed += in[i] != out[i];
  EXPECT_LT(changed, in.size() / 100);
}

}  // namespace
}  // namespace devsim_test
