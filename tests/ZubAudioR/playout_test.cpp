// The playout level control in simulated time: a fake ring whose cursor the test sets, and a
// clock the test advances.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZubAudioR/Playout.h"

namespace {

using zubr::Playout;
constexpr std::uint32_t kRing = Playout::kRingBytes;
constexpr std::uint32_t kBlock = Playout::kBlockBytes;

class FakeClock final : public zubr::MsClock {
 public:
  std::uint32_t NowMs() override { return now; }
  std::uint32_t now = 1000000;  // well past the first minute after boot
};

class FakeRing final : public plat::SoundRing {
 public:
  bool Write(std::uint32_t offset, const void* data, std::uint32_t len) override {
    if (offset + len > kRing) return false;
    writes.push_back(offset);
    std::memcpy(bytes.data() + offset, data, len);
    return true;
  }
  bool Play() override {
    ++plays;
    playing = true;
    return play_result;
  }
  bool Stop() override {
    playing = false;
    return true;
  }
  bool SetPosition(std::uint32_t offset) override {
    cursor = offset;
    return true;
  }
  bool GetPlayCursor(std::uint32_t* offset) override {
    *offset = cursor;
    return true;
  }
  bool SetAttenuation(std::int32_t v) override {
    attenuations.push_back(v);
    return true;
  }
  std::uint32_t Size() const override { return kRing; }

  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kRing);
  std::vector<std::uint32_t> writes;
  std::vector<std::int32_t> attenuations;
  std::uint32_t cursor = 0;
  int plays = 0;
  bool playing = false;
  bool play_result = true;
};

const std::vector<std::uint8_t> kLoud(kBlock, 0x55);

class PlayoutTest : public ::testing::Test {
 protected:
  PlayoutTest() {
    playout.Attach(&ring);
    playout.StartCorrectionClock();  // as the first packet does
  }

  // Puts blocks until the ring plays and the fade-in is over.
  void StartPlaying(std::int32_t delay_ms) {
    while (!playout.BufferPlaying()) playout.Put(kLoud.data(), delay_ms, 100);
    while (playout.RampStep() < 16) playout.Put(kLoud.data(), delay_ms, 100);
  }
  // Moves the cursor so that level bytes lie between it and WritePos.
  void SetLevel(std::uint32_t level) { ring.cursor = (playout.WritePos() + kRing - level) % kRing; }
  std::uint32_t Level() const { return (playout.WritePos() + kRing - ring.cursor) % kRing; }
  // The next packet comes after the correction period has passed.
  void CorrectionDue() {
    playout.StartCorrectionClock();
    clock.now += Playout::kCorrectionPeriodMs + 1;
  }

  FakeClock clock;
  FakeRing ring;
  Playout playout{clock};
};

TEST_F(PlayoutTest, StartRuleNamesTheBlockThatStartsTheRing) {
  struct Case {
    std::int32_t delay_ms;
    std::uint32_t start_offset;
  };
  const Case cases[] = {
      {0, 2048}, {300, 10240}, {1535, 49152}, {31, 2048}, {32, 2048}, {64, 4096},
      // Out of range values still start the ring, clamped into 0 ... 1535.
      {-1, 2048}, {INT32_MIN, 2048}, {1536, 49152}, {INT32_MAX, 49152},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.delay_ms);
    FakeRing r;
    Playout p(clock);
    p.Attach(&r);
    std::uint32_t offset = 0;
    while (!p.BufferPlaying()) {
      ASSERT_LT(offset, kRing);
      offset = p.WritePos();
      p.Put(kLoud.data(), row.delay_ms, 100);
    }
    EXPECT_EQ(offset, row.start_offset);
    EXPECT_EQ(r.plays, 1);
    EXPECT_EQ(r.writes.back(), row.start_offset);
  }
}

TEST_F(PlayoutTest, FadeInRunsSixteenStepsToVolume) {
  struct Case {
    std::int32_t volume;
    std::int32_t last;  // the attenuation of the sixteenth block
  };
  const Case cases[] = {{100, 0}, {1, -4950}, {0, -10000}, {50, -2500}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.volume);
    FakeRing r;
    Playout p(clock);
    p.Attach(&r);
    while (!p.BufferPlaying()) p.Put(kLoud.data(), 300, row.volume);
    for (int i = 0; i < 20; ++i) p.Put(kLoud.data(), 300, row.volume);
    // The start mutes, then 16 steps: Volume * k / 15 for k = 0 ... 15.
    ASSERT_EQ(r.attenuations.size(), 17u);
    EXPECT_EQ(r.attenuations[0], -10000);
    EXPECT_EQ(r.attenuations[1], -10000);
    EXPECT_EQ(r.attenuations[2], Playout::Attenuation(row.volume / 15));
    EXPECT_EQ(r.attenuations[16], row.last);
  }
  // With DelayTime 300 the full level comes with the sixteenth block, counting the starting one.
  FakeRing r;
  Playout p(clock);
  p.Attach(&r);
  int blocks_since_start = 0;
  while (r.attenuations.empty() || r.attenuations.back() != 0) {
    p.Put(kLoud.data(), 300, 100);
    if (p.BufferPlaying()) ++blocks_since_start;
  }
  EXPECT_EQ(blocks_since_start, 16);
}

TEST_F(PlayoutTest, AttenuationScale) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {
      {-5, -10000}, {0, -10000}, {1, -4950}, {50, -2500}, {99, -50}, {100, 0}, {250, 0}};
  for (const auto& [level, want] : cases) EXPECT_EQ(Playout::Attenuation(level), want) << level;
}

TEST_F(PlayoutTest, OverrunGuardDiscardsAboveNinetyPercent) {
  StartPlaying(300);
  SetLevel(46081);
  EXPECT_FALSE(playout.Admit(300, 100));
  SetLevel(46080);
  EXPECT_TRUE(playout.Admit(300, 100));
}

TEST_F(PlayoutTest, UnderrunGuardPutsSilenceFirst) {
  StartPlaying(300);
  SetLevel(3000);
  const std::uint32_t before = playout.WritePos();
  ASSERT_TRUE(playout.Admit(300, 100));
  playout.Put(kLoud.data(), 300, 100);
  EXPECT_EQ((playout.WritePos() + kRing - before) % kRing, 2 * kBlock);
  EXPECT_EQ(ring.bytes[before], 0);     // the silence block
  EXPECT_EQ(ring.bytes[(before + kBlock) % kRing], 0x55);  // then the packet
  SetLevel(3414);
  EXPECT_TRUE(playout.Admit(300, 100));
  EXPECT_EQ(playout.SilenceBlocks(), 1u);
}

TEST_F(PlayoutTest, TooLongDelayDropsPacketsOneByOne) {
  StartPlaying(300);
  SetLevel(600 * 32);
  CorrectionDue();
  EXPECT_FALSE(playout.Admit(300, 100));  // this packet is the first of the four
  EXPECT_EQ(playout.DropCount(), 3u);
  EXPECT_FALSE(playout.Admit(300, 100));
  EXPECT_FALSE(playout.Admit(300, 100));
  EXPECT_FALSE(playout.Admit(300, 100));
  EXPECT_TRUE(playout.Admit(300, 100));
  EXPECT_EQ(playout.LastCorrectionTime(), clock.now);
}

TEST_F(PlayoutTest, DelayWithinAHundredMillisecondsIsLeftAlone) {
  for (const std::uint32_t ms : {250u, 350u, 201u, 399u}) {
    SCOPED_TRACE(ms);
    StartPlaying(300);
    SetLevel(ms * 32);
    CorrectionDue();
    const std::uint32_t pos = playout.WritePos();
    EXPECT_TRUE(playout.Admit(300, 100));
    EXPECT_EQ(playout.DropCount(), 0u);
    EXPECT_EQ(playout.WritePos(), pos);
  }
}

TEST_F(PlayoutTest, TooShortDelayIsLengthenedAndStaysSo) {
  StartPlaying(1000);
  SetLevel(200 * 32);
  CorrectionDue();
  EXPECT_TRUE(playout.Admit(1000, 100));
  EXPECT_EQ(playout.SilenceBlocks(), (1000u - 200) / 64);
  EXPECT_EQ(playout.DropCount(), 0u);
  const std::uint32_t lengthened = Level();
  EXPECT_EQ(lengthened, 200 * 32 + 12 * kBlock);
  // The packets that follow are played, not discarded: the delay stays longer.
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(playout.Admit(1000, 100));
    playout.Put(kLoud.data(), 1000, 100);
    ring.cursor = (ring.cursor + kBlock) % kRing;  // the ring plays one block per packet
  }
  EXPECT_EQ(Level(), lengthened);
}

// Delays the ring can barely hold: the correction aims below the overrun guard, so it never
// adds silence that the guard would then have to throw away.
TEST_F(PlayoutTest, LongDelaysAreCorrectedBelowTheOverrunGuard) {
  for (const std::int32_t delay : {1535, 5000, INT32_MAX}) {
    SCOPED_TRACE(delay);
    StartPlaying(delay);
    SetLevel(1400 * 32);
    CorrectionDue();
    EXPECT_TRUE(playout.Admit(delay, 100));
    EXPECT_EQ(playout.DropCount(), 0u);
    SetLevel(1000 * 32);
    CorrectionDue();
    const std::uint32_t silence = playout.SilenceBlocks();
    EXPECT_TRUE(playout.Admit(delay, 100));
    EXPECT_EQ(playout.SilenceBlocks() - silence, (1340u - 1000) / 64);
    EXPECT_LE(Level(), 46080u);
  }
}

TEST_F(PlayoutTest, CorrectionIsDueAtTheTenthFadeStepAndInTheFirstMinute) {
  // Ten blocks after the start, whatever the clock.
  playout.StartCorrectionClock();
  while (playout.RampStep() < 10) playout.Put(kLoud.data(), 300, 100);
  SetLevel(700 * 32);
  EXPECT_FALSE(playout.Admit(300, 100));
  EXPECT_EQ(playout.Corrections(), 1u);
  // In the first minute after boot, at every packet.
  FakeClock early;
  early.now = 5000;
  FakeRing r;
  Playout p(early);
  p.Attach(&r);
  p.StartCorrectionClock();
  while (p.RampStep() < 16) p.Put(kLoud.data(), 300, 100);
  for (int i = 0; i < 3; ++i) p.Admit(300, 100);
  EXPECT_EQ(p.Corrections(), 3u);
}

TEST_F(PlayoutTest, CorrectionPeriodAcrossTheSignedLimit) {
  FakeClock wrapping;
  wrapping.now = 0x7FFFFFF0u;  // across 2^31, where a signed difference would turn negative
  FakeRing r;
  Playout p(wrapping);
  p.Attach(&r);
  p.StartCorrectionClock();
  while (p.RampStep() < 16) p.Put(kLoud.data(), 300, 100);
  r.cursor = (p.WritePos() + kRing - 600 * 32) % kRing;
  wrapping.now = 0x7FFFFFF0u + 59000;  // 59 s later: not due
  EXPECT_TRUE(p.Admit(300, 100));
  wrapping.now = 0x7FFFFFF0u + 60001;
  EXPECT_FALSE(p.Admit(300, 100));
  EXPECT_EQ(p.Corrections(), 1u);
}

// The network stalled for longer than the queued audio: the cursor overtook WritePos, so the
// level wraps to near the ring size. Packets are discarded while it reads above 90 %, then
// written about a full ring ahead, and the next correction shortens the delay packet by packet.
TEST_F(PlayoutTest, CursorOvertakingWritePosRecovers) {
  StartPlaying(300);
  ring.cursor = (playout.WritePos() + 1000) % kRing;  // 1000 bytes past WritePos
  EXPECT_GT(Level(), 46080u);
  EXPECT_FALSE(playout.Admit(300, 100));
  // The cursor moves on until the level drops below 90 %.
  ring.cursor = (playout.WritePos() + 10000) % kRing;
  ASSERT_LE(Level(), 46080u);
  ASSERT_TRUE(playout.Admit(300, 100));
  playout.Put(kLoud.data(), 300, 100);
  CorrectionDue();
  EXPECT_FALSE(playout.Admit(300, 100));
  EXPECT_EQ(playout.DropCount() + 1, (Level() / 32 - 300) / 64);
}

TEST_F(PlayoutTest, ResetRewindsAndMutesButKeepsTheCorrectionState) {
  StartPlaying(300);
  SetLevel(600 * 32);
  CorrectionDue();
  playout.Admit(300, 100);
  const std::uint32_t drops = playout.DropCount();
  const std::uint32_t last = playout.LastCorrectionTime();
  playout.Reset();
  EXPECT_FALSE(playout.BufferPlaying());
  EXPECT_EQ(playout.WritePos(), 0u);
  EXPECT_EQ(playout.RampStep(), 0);
  EXPECT_EQ(ring.cursor, 0u);
  EXPECT_FALSE(ring.playing);
  EXPECT_EQ(ring.attenuations.back(), -10000);
  EXPECT_EQ(playout.DropCount(), drops);
  EXPECT_EQ(playout.LastCorrectionTime(), last);
  // Dropping goes on while prebuffering.
  EXPECT_FALSE(playout.Admit(300, 100));
}

TEST_F(PlayoutTest, FailedStartStillCountsAsPlaying) {
  ring.play_result = false;
  while (!playout.BufferPlaying()) playout.Put(kLoud.data(), 0, 100);
  EXPECT_EQ(playout.RampStep(), 0);  // that block's fade step is skipped
  playout.Put(kLoud.data(), 0, 100);
  EXPECT_EQ(ring.plays, 1);
  EXPECT_EQ(playout.RampStep(), 1);
}

}  // namespace
