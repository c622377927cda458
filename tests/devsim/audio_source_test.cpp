// What the packets carry: decoded, they give back the configured signal.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "audio_common/g711.h"
#include "audio_common/packet.h"
#include "devsim/audio_source.h"
#include "devsim/packets.h"

namespace devsim_test {
namespace {

// The decoded samples of the first `packets` packets of a fresh stream.
std::vector<double> Decode(const devsim::SourceFactory& source, int packets) {
  devsim::PacketStream stream(source());
  std::vector<double> samples;
  for (int k = 0; k < packets; ++k) {
    const devsim::Packet p = stream.Next();
    for (std::size_t i = audio::kPacketHeaderBytes; i < p.size(); ++i)
      samples.push_back(audio::DecodeMuLawSample(p[i]));
  }
  return samples;
}

std::vector<std::uint8_t> Codes(const devsim::SourceFactory& source, int packets) {
  devsim::PacketStream stream(source());
  std::vector<std::uint8_t> codes;
  for (int k = 0; k < packets; ++k) {
    const devsim::Packet p = stream.Next();
    codes.insert(codes.end(), p.begin() + audio::kPacketHeaderBytes, p.end());
  }
  return codes;
}

TEST(DevsimAudio, ToneDecodesToASineOfTheSetFrequencyAndLevel) {
  const struct {
    double hz;
    int amplitude;
  } rows[] = {{1000, devsim::kDefaultAmplitude}, {440, 8000}, {3000, 30000}, {250.5, 1000}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.hz) + " Hz, peak " + std::to_string(row.amplitude));
    // Eight packets: the phase must run on across packet boundaries for the fit to hold.
    const std::vector<double> x = Decode(devsim::ToneSource(row.hz, row.amplitude), 8);
    double re = 0, im = 0, worst = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
      const double w = 2 * std::numbers::pi * row.hz * static_cast<double>(n) / 8000;
      re += x[n] * std::cos(w);
      im += x[n] * std::sin(w);
      const double want = row.amplitude * std::sin(w);
      // mu-law keeps about five significant bits: a few percent of the value, plus the floor.
      worst = std::max(worst, std::abs(x[n] - want) / (std::abs(want) * 0.04 + 8));
    }
    EXPECT_LE(worst, 1.0);
    EXPECT_NEAR(2 * std::hypot(re, im) / static_cast<double>(x.size()), row.amplitude, row.amplitude * 0.02);
    EXPECT_NEAR(std::atan2(re, im), 0.0, 0.02);  // a sine from sample 0
  }
}

TEST(DevsimAudio, RampClimbsAndWrapsOncePerPeriod) {
  const std::vector<double> x = Decode(devsim::RampSource(16), 16);  // two periods of 4096
  int wraps = 0;
  for (std::size_t n = 1; n < x.size(); ++n) {
    if (x[n] < x[n - 1]) {
      ++wraps;
      EXPECT_EQ(n % 4096, 0u) << n;
      EXPECT_LT(x[n], -30000);
    }
  }
  EXPECT_EQ(wraps, 1);
  EXPECT_LT(x.front(), -30000);
  EXPECT_GT(x[4095], 30000);
}

void PutLe(std::string* s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) *s += static_cast<char>(v >> (8 * i));
}

struct WavFormat {
  unsigned tag = 1, channels = 1, rate = 8000, bits = 16;
};

std::string Wav(const WavFormat& f, const std::vector<std::int16_t>& samples, bool odd_chunk_first = false) {
  std::string body = "WAVE";
  if (odd_chunk_first) body += std::string("LIST\x03\0\0\0abc\0", 12);  // padded to even size
  body += "fmt ";
  PutLe(&body, 16, 4);
  PutLe(&body, f.tag, 2);
  PutLe(&body, f.channels, 2);
  PutLe(&body, f.rate, 4);
  PutLe(&body, f.rate * f.channels * f.bits / 8, 4);
  PutLe(&body, f.channels * f.bits / 8, 2);
  PutLe(&body, f.bits, 2);
  body += "data";
  PutLe(&body, static_cast<std::uint32_t>(samples.size() * 2), 4);
  for (const std::int16_t s : samples) PutLe(&body, static_cast<std::uint16_t>(s), 2);
  std::string file = "RIFF";
  PutLe(&file, static_cast<std::uint32_t>(body.size()), 4);
  return file + body;
}

TEST(DevsimAudio, WavPlaysItsSamplesInALoop) {
  // Values mu-law carries exactly, so the codes on the wire can be compared one for one.
  std::vector<std::int16_t> mono;
  std::vector<std::uint8_t> codes;
  for (int i = 0; i < 700; ++i) {
    const std::uint8_t c = static_cast<std::uint8_t>(i % 255);  // 0x7F and 0xFF both mean 0
    codes.push_back(audio::EncodeMuLawSample(audio::DecodeMuLawSample(c)));
    mono.push_back(audio::DecodeMuLawSample(c));
  }
  std::vector<std::int16_t> stereo;
  for (const std::int16_t s : mono) {
    stereo.push_back(s);
    stereo.push_back(static_cast<std::int16_t>(~s));  // the right channel must be dropped
  }
  const struct {
    const char* name;
    std::string file;
  } rows[] = {
      {"mono", Wav({}, mono)},
      {"stereo", Wav({.channels = 2}, stereo)},
      {"mono after an odd-sized chunk", Wav({}, mono, true)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::int16_t> samples;
    std::string error;
    ASSERT_TRUE(devsim::ParseWav(row.file, &samples, &error)) << error;
    ASSERT_EQ(samples, mono);
    const std::vector<std::uint8_t> got =
        Codes(devsim::LoopSource(std::make_shared<const std::vector<std::int16_t>>(samples)), 3);
    for (std::size_t n = 0; n < got.size(); ++n) ASSERT_EQ(got[n], codes[n % codes.size()]) << n;
  }
}

TEST(DevsimAudio, WavRefusesWhatTheDeviceCannotPlay) {
  const std::vector<std::int16_t> some(100, 5);
  const struct {
    const char* name;
    std::string file;
    const char* says;
  } rows[] = {
      {"16 kHz", Wav({.rate = 16000}, some), "8000 Hz"},
      {"8-bit", Wav({.bits = 8}, some), "16-bit"},
      {"three channels", Wav({.channels = 3}, some), "channels"},
      {"float", Wav({.tag = 3, .bits = 32}, some), "PCM"},
      {"not RIFF", "hello, this is not a sound file", "RIFF"},
      {"no samples", Wav({}, {}), "no samples"},
      {"format chunk missing", std::string("RIFF\x04\0\0\0WAVE", 12), "format"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::int16_t> samples;
    std::string error;
    EXPECT_FALSE(devsim::ParseWav(row.file, &samples, &error));
    EXPECT_NE(error.find(row.says), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace devsim_test
