// devsim streams a known signal (a slow ramp) and axhost plays it with --playback-wav: the
// recording must hold the ramp in order, without gaps or repeats once playing, at the delay the
// start rule predicts; PeakValue follows the level.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio_common/g711.h"
#include "fixture.h"
#include "tests/support/netns.h"

namespace {

using devsim::Fault;
using zubr_test::F;
using zubr_test::MsBetween;
using zubr_test::WaitUntil;

constexpr int kRampStep = 2;  // one period per 32768 samples (4.1 s): no ambiguity in a test
constexpr long kPeriod = 65536 / kRampStep;
constexpr long kFrame = 512;  // samples per packet
// The start rule with DelayTime 300: the ring starts as packet 5 is written, playing packet 0.
constexpr long kStartDelayFrames = 5 * kFrame;
// The worker sends its request after the 100 ms it lets a connect settle, and up to one 10 ms
// pass later; the device's first packet follows at once.
constexpr long kRequestAfterConnect = 100 * 8;
constexpr long kRequestAfterPlay = 110 * 8;
constexpr long kAfterFade = 21 * kFrame;  // full level from the sixteenth block after the start

// What the device's ramp sample n sounds like after the mu-law round trip.
std::int16_t Expected(long n) {
  const long v = ((n % kPeriod + kPeriod) % kPeriod) * kRampStep;
  return audio::DecodeMuLawSample(audio::EncodeMuLawSample(static_cast<std::int16_t>(v - 32768)));
}

struct Recording {
  std::vector<std::int16_t> left;
  bool channels_equal = true;
};

Recording ReadRecording(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Recording r;
  for (std::size_t at = 44; at + 4 <= b.size(); at += 4) {
    const auto l = static_cast<std::int16_t>(static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8));
    const auto rr = static_cast<std::int16_t>(static_cast<std::uint8_t>(b[at + 2]) | (static_cast<std::uint8_t>(b[at + 3]) << 8));
    r.left.push_back(l);
    if (l != rr) r.channels_equal = false;
  }
  return r;
}

// Consecutive samples from stream sample k on that play at frame f0 + k as expected.
long MatchRun(const std::vector<std::int16_t>& rec, long f0, long k) {
  long run = 0;
  while (f0 + k + run >= 0 && f0 + k + run < static_cast<long>(rec.size()) && rec[f0 + k + run] == Expected(k + run))
    ++run;
  return run;
}

// The frame at which stream sample 0 plays, judged by 2048 samples from stream sample k.
std::optional<long> Align(const std::vector<std::int16_t>& rec, long k, long lo, long hi) {
  for (long f0 = lo; f0 <= hi; ++f0)
    if (MatchRun(rec, f0, k) >= 2048) return f0;
  return std::nullopt;
}

std::string TempPath(const char* name) {
  return ::testing::TempDir() + "zub_e2e_" + std::to_string(::getpid()) + "_" + name;
}

// Runs axhost on a script that plays from ip:port for play_ms; returns the recording.
Recording PlayWithAxhost(const std::string& ip, int port, int stream_type, int play_ms) {
  const std::string script = TempPath("script.ax");
  const std::string wav = TempPath("played.wav");
  {
    std::ofstream s(script);
    s << "param IP \"" << ip << "\"\nparam Port " << port << "\nparam StreamType " << stream_type
      << "\ncreate\nactivate\ncall Play\nsleep " << play_ms << "\nrelease\n";
  }
  const std::string cmd = std::string(AXHOST_PATH) + " --playback-wav " + wav + " Zu_R_Audio.ReceiveAudio.1 " + script + " >/dev/null";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  Recording r = ReadRecording(wav);
  std::remove(script.c_str());
  std::remove(wav.c_str());
  return r;
}

std::unique_ptr<devsim::Device> StartRampDevice(std::vector<Fault> faults) {
  devsim::DeviceOptions options;
  options.source = devsim::RampSource(kRampStep);
  options.faults = std::move(faults);
  auto device = std::make_unique<devsim::Device>(std::move(options));
  std::string error;
  EXPECT_TRUE(device->Start(&error)) << error;
  return device;
}

TEST(ReceiveEndToEnd, TcpStreamPlaysInOrderAtThePredictedDelay) {
  auto device = StartRampDevice({});
  const Recording rec = PlayWithAxhost("127.0.0.1", device->http_port(), 0, 3000);
  EXPECT_TRUE(rec.channels_equal);
  ASSERT_GT(rec.left.size(), 8000u * 2);
  const auto f0 = Align(rec.left, kAfterFade, 0, 8000);
  ASSERT_TRUE(f0.has_value()) << "the ramp is not in the recording";
  // Stream sample 0 plays when packet 5 arrives: within a packet of that.
  EXPECT_LE(std::labs(*f0 - (kRequestAfterPlay + kStartDelayFrames)), kFrame);
  // From the end of the fade-in to the release, every sample in order.
  const long run = MatchRun(rec.left, *f0, kAfterFade);
  EXPECT_GE(run, static_cast<long>(rec.left.size()) - *f0 - kAfterFade - kFrame);
}

// A drop and a stall: playback stops, and the next connection prebuffers afresh, so its first
// sample plays one start delay after that connection began.
TEST(ReceiveEndToEnd, PlaybackRestartsWithAFreshPrebufferAfterADropAndAStall) {
  struct Case {
    const char* name;
    Fault fault;
    int play_ms;
  };
  const Case cases[] = {{"drop after 40 packets", F(Fault::Kind::kCloseAfter, 40), 6500},
                        {"stall", F(Fault::Kind::kStall), 8000}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    auto device = StartRampDevice({row.fault});
    const Recording rec = PlayWithAxhost("127.0.0.1", device->http_port(), 0, row.play_ms);
    const auto accepts = device->stats().accept_times();
    ASSERT_GE(accepts.size(), 2u);
    // The first connection begins about when the recording does.
    const long predicted = MsBetween(accepts[0], accepts[1]) * 8 + kRequestAfterConnect + kStartDelayFrames;
    const auto f0 = Align(rec.left, kAfterFade, predicted - 2 * kFrame, predicted + 2 * kFrame);
    if (!f0) {
      const auto anywhere = Align(rec.left, kAfterFade, 0, static_cast<long>(rec.left.size()));
      ADD_FAILURE() << "the second connection's ramp is not where predicted (" << predicted << "), but at "
                    << (anywhere ? *anywhere : -1);
      continue;
    }
    EXPECT_LE(std::labs(*f0 - predicted), kFrame);
    const long run = MatchRun(rec.left, *f0, kAfterFade);
    EXPECT_GE(run, static_cast<long>(rec.left.size()) - *f0 - kAfterFade - kFrame);
  }
}

TEST(ReceiveEndToEnd, MulticastStreamPlaysInOrder) {
  if (!testsupport::InPrivateNetwork(testsupport::kLoopbackMulticast)) return;
  devsim::DeviceOptions options;
  options.source = devsim::RampSource(kRampStep);
  devsim::MulticastOptions m;
  m.group = "239.255.12.40";
  m.port = 45100;
  m.interface = "127.0.0.1";
  options.multicast = m;
  devsim::Device device(options);
  std::string error;
  ASSERT_TRUE(device.Start(&error)) << error;
  const Recording rec = PlayWithAxhost("239.255.12.40", 45100, 1, 3000);
  EXPECT_TRUE(rec.channels_equal);
  // The sender was already running: stream sample n is the ramp's sample n since its start.
  std::optional<long> f0;
  const long probe = static_cast<long>(rec.left.size()) - 4 * 8000 / 5;  // 0.8 s before the end
  ASSERT_GT(probe, 0);
  for (long candidate = probe - kPeriod; candidate <= probe && !f0; ++candidate)
    if (MatchRun(rec.left, candidate, probe - candidate) >= 2048) f0 = candidate;
  ASSERT_TRUE(f0.has_value()) << "the ramp is not in the recording";
  // Back from the probe to the end of the fade-in, and on to the end: one unbroken ramp.
  long first = probe;
  while (first - 1 >= 0 && rec.left[first - 1] == Expected(first - 1 - *f0)) --first;
  EXPECT_GE(MatchRun(rec.left, *f0, first - *f0), static_cast<long>(rec.left.size()) - first - kFrame);
  EXPECT_LE(first, 8000 * 2);  // it has played since well before the last second
}

TEST(ReceiveEndToEnd, PeakValueFollowsTheLevel) {
  struct Case {
    int amplitude;
    int peak;
  };
  const int loud = std::min(audio::EncodeMuLawSample(16384) & 0x7F, audio::EncodeMuLawSample(-16384) & 0x7F);
  const int quiet = std::min(audio::EncodeMuLawSample(300) & 0x7F, audio::EncodeMuLawSample(-300) & 0x7F);
  const Case cases[] = {{0, 127}, {300, quiet}, {16384, loud}, {32767, 0}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.amplitude);
    devsim::DeviceOptions options;
    options.source = devsim::ToneSource(1000, row.amplitude);
    devsim::Device device(options);
    std::string error;
    ASSERT_TRUE(device.Start(&error)) << error;
    zubr::CReceiveAudio control;
    int window = 0;
    control.put_IP("127.0.0.1");
    control.put_Port(device.http_port());
    control.OnCreateWindow(&window);
    std::uint8_t peak = 0;
    control.get_PeakValue(&peak);
    EXPECT_EQ(peak, 255);  // until the first packet plays
    ASSERT_EQ(control.Play(), automation::kS_OK);
    ASSERT_TRUE(WaitUntil([&] { return control.Stats().packets_played >= 3; }, 5000));
    control.get_PeakValue(&peak);
    EXPECT_NEAR(peak, row.peak, 1);
  }
}

}  // namespace
