// Cutting packets out of real byte streams, and the mu-law codec.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZubAudioR/CarryBuffer.h"
#include "audio_common/g711.h"
#include "audio_common/packet.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Packet(std::uint32_t counter, std::uint8_t code = 0xFF) {
  Bytes p(audio::kPacketBytes, code);
  audio::PutPacketHeader(p.data(), counter);
  return p;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Feeds the stream in reads of the given sizes; returns the counters of the packets cut.
std::vector<std::uint32_t> Feed(zubr::CarryBuffer& carry, const Bytes& stream, std::initializer_list<std::size_t> reads) {
  std::vector<std::uint32_t> counters;
  std::size_t at = 0;
  std::uint8_t packet[audio::kPacketBytes];
  for (const std::size_t n : reads) {
    if (carry.Append(stream.data() + at, n, packet)) counters.push_back(audio::GetBigEndian32(packet + 8));
    at += n;
  }
  return counters;
}

TEST(CarryBuffer, ThreeReadsOfTwoHundredCompleteOnePacket) {
  zubr::CarryBuffer carry;
  const Bytes stream = Join({Packet(0), Packet(512)});
  EXPECT_EQ(Feed(carry, stream, {200, 200}), std::vector<std::uint32_t>{});
  EXPECT_EQ(Feed(carry, Bytes(stream.begin() + 400, stream.end()), {200}), std::vector<std::uint32_t>{0});
  EXPECT_EQ(carry.Fill(), 76u);
}

TEST(CarryBuffer, StrayBytesBeforeAPacketAreDropped) {
  zubr::CarryBuffer carry;
  const Bytes stream = Join({Bytes(10, 0x11), Packet(7 * 512), Packet(8 * 512)});
  // The first read holds the stray bytes and most of the packet; the packets then follow.
  EXPECT_EQ(Feed(carry, stream, {524, 524, 10}), (std::vector<std::uint32_t>{7 * 512, 8 * 512}));
  EXPECT_EQ(carry.Fill(), 0u);
}

TEST(CarryBuffer, AlignedStreamYieldsEveryPacketInOrder) {
  zubr::CarryBuffer carry;
  const Bytes stream = Join({Packet(0), Packet(512), Packet(1024), Packet(1536)});
  EXPECT_EQ(Feed(carry, stream, {524, 524, 524, 524}), (std::vector<std::uint32_t>{0, 512, 1024, 1536}));
}

TEST(CarryBuffer, FullCarryWithoutACompletePacketIsDiscarded) {
  zubr::CarryBuffer carry;
  // A marker at 600, so that the 1048 bytes never hold a whole packet after it.
  Bytes junk(1048, 0x22);
  const Bytes marker = Packet(99);
  std::memcpy(junk.data() + 600, marker.data(), 4);
  EXPECT_TRUE(Feed(carry, junk, {200, 524, 324}).empty());
  EXPECT_EQ(carry.Fill(), 1048u);
  // The next read does not fit: the carry starts afresh with it.
  const Bytes next = Packet(5 * 512);
  EXPECT_EQ(Feed(carry, next, {524}), std::vector<std::uint32_t>{5 * 512});
  EXPECT_EQ(carry.Fill(), 0u);
}

TEST(CarryBuffer, NoMarkerInAFullPacketsWorthDiscardsEverything) {
  zubr::CarryBuffer carry;
  EXPECT_TRUE(Feed(carry, Bytes(524, 0x33), {524}).empty());
  EXPECT_EQ(carry.Fill(), 0u);
}

// Three zero codes and a code 128 inside the audio look like a marker: the packet cut there is
// wrong, and the stream is found again within the packets that follow.
TEST(CarryBuffer, FalseMarkerMisleadsForOnePacketOnly) {
  zubr::CarryBuffer carry;
  Bytes first = Packet(0, 0x7E);
  first[300] = 0, first[301] = 0, first[302] = 0, first[303] = 0x80;
  const Bytes stream = Join({Bytes(100, 0x44), first, Packet(512), Packet(1024), Packet(1536), Packet(2048)});
  std::vector<std::uint32_t> got = Feed(carry, stream, {100, 524, 524, 524, 524, 524});
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back(), 2048u);
}

TEST(MuLaw, ExpandsAsTheStandardGives) {
  const std::pair<int, int> cases[] = {{255, 0}, {127, 0}, {128, 32124}, {0, -32124}, {0xFE, 8}, {0x7E, -8},
                                       {0x8F, 16764}, {0xF0, 120}, {0x70, -120}};
  for (const auto& [code, sample] : cases) EXPECT_EQ(audio::DecodeMuLawSample(static_cast<std::uint8_t>(code)), sample) << code;
  // Decoding by table gives the arithmetic's result for every code, on both channels.
  std::uint8_t codes[256];
  for (int c = 0; c < 256; ++c) codes[c] = static_cast<std::uint8_t>(c);
  std::int16_t frames[512];
  audio::DecodeMuLawStereo(256, codes, frames);
  for (int c = 0; c < 256; ++c) {
    ASSERT_EQ(frames[2 * c], audio::DecodeMuLawSample(codes[c])) << c;
    ASSERT_EQ(frames[2 * c + 1], frames[2 * c]) << c;
  }
}

TEST(MuLaw, CompressesAsTheToolLibraryDoes) {
  const std::pair<int, int> cases[] = {
      {0, 0xFF},     {-1, 0x7F},    {4, 0xFE},      {-4, 0x7F},     {-5, 0x7E},    {100, 0xF2},
      {-100, 0x73},  {1000, 0xCE},  {-1000, 0x4E},  {8159, 0x9F},   {-8159, 0x1F}, {32767, 0x80},
      {-32768, 0x00}, {-31612, 0x01}, {-31613, 0x00},
  };
  for (const auto& [sample, code] : cases)
    EXPECT_EQ(audio::EncodeMuLawSample(static_cast<std::int16_t>(sample)), code) << sample;
  // Encoding a decoded sample gives the code back (but for the two zeros).
  for (int c = 0; c < 256; ++c) {
    if (c == 127) continue;  // -0 comes back as +0
    EXPECT_EQ(audio::EncodeMuLawSample(audio::DecodeMuLawSample(static_cast<std::uint8_t>(c))), c) << c;
  }
}

}  // namespace

namespace {

// The batch routines (table-driven) agree with the per-sample arithmetic for every input.
TEST(MuLaw, BatchRoutinesMatchTheArithmetic) {
  std::vector<std::int16_t> samples(65536);
  for (int i = 0; i < 65536; ++i) samples[i] = static_cast<std::int16_t>(i - 32768);
  std::vector<std::uint16_t> codes(65536);
  audio::EncodeMuLaw(65536, samples.data(), codes.data());
  for (int i = 0; i < 65536; ++i) ASSERT_EQ(codes[i], audio::EncodeMuLawSample(samples[i])) << samples[i];
  std::vector<std::int16_t> decoded(65536);
  audio::DecodeMuLaw(65536, codes.data(), decoded.data());
  for (int i = 0; i < 65536; ++i) ASSERT_EQ(decoded[i], audio::DecodeMuLawSample(static_cast<std::uint8_t>(codes[i])));
}

}  // namespace
