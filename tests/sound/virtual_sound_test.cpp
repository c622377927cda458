// The virtual sound output: window rule, cursor on the real clock, and the recording.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/virtual_sound.h"

namespace {

constexpr plat::SoundFormat kFormat{8000, 2, 16};
constexpr std::uint32_t kRing = 51200;

class VirtualSound : public ::testing::Test {
 protected:
  void TearDown() override {
    plat::FinishVirtualSoundRecording();
    plat::ConfigureVirtualSound({});
  }
  int window_ = 0;
};

std::vector<std::int16_t> ReadWavSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> samples;
  if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0) return samples;
  samples.resize((bytes.size() - 44) / 2);
  std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

TEST_F(VirtualSound, NeedsAWindowAndCanBeAbsent) {
  auto output = plat::CreateVirtualSoundOutput();
  ASSERT_NE(output, nullptr);
  EXPECT_FALSE(output->SetCooperativeLevel(nullptr));
  EXPECT_EQ(output->CreateRing(kFormat, kRing), nullptr);
  EXPECT_TRUE(output->SetCooperativeLevel(&window_));
  auto ring = output->CreateRing(kFormat, kRing);
  ASSERT_NE(ring, nullptr);
  EXPECT_EQ(ring->Size(), kRing);
  EXPECT_FALSE(ring->Write(kRing - 100, std::vector<char>(200).data(), 200));

  plat::VirtualSoundConfig none;
  none.no_device = true;
  plat::ConfigureVirtualSound(none);
  EXPECT_EQ(plat::CreateVirtualSoundOutput(), nullptr);
}

TEST_F(VirtualSound, CursorRunsAtThirtyTwoBytesPerMillisecondAndStops) {
  auto output = plat::CreateVirtualSoundOutput();
  ASSERT_TRUE(output->SetCooperativeLevel(&window_));
  auto ring = output->CreateRing(kFormat, kRing);
  std::uint32_t cursor = 1;
  ASSERT_TRUE(ring->GetPlayCursor(&cursor));
  EXPECT_EQ(cursor, 0u);
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(ring->Play());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ring->GetPlayCursor(&cursor);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(cursor, 300u * 32 - 64);
  EXPECT_LE(cursor, static_cast<std::uint32_t>(ms) * 32 + 64);
  EXPECT_EQ(cursor % 4, 0u);
  ASSERT_TRUE(ring->Stop());
  std::uint32_t stopped = 0;
  ring->GetPlayCursor(&stopped);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ring->GetPlayCursor(&cursor);
  EXPECT_EQ(cursor, stopped);
  ASSERT_TRUE(ring->SetPosition(0));
  ring->GetPlayCursor(&cursor);
  EXPECT_EQ(cursor, 0u);
}

// The recording holds what played, attenuated, and silence before and after.
TEST_F(VirtualSound, RecordsWhatPlaysWithTheAttenuation) {
  const std::string path = ::testing::TempDir() + "virtual_sound_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".wav";
  plat::VirtualSoundConfig config;
  config.playback_wav = path;
  plat::ConfigureVirtualSound(config);
  {
    auto output = plat::CreateVirtualSoundOutput();
    ASSERT_TRUE(output->SetCooperativeLevel(&window_));
    auto ring = output->CreateRing(kFormat, kRing);
    std::vector<std::int16_t> block(kRing / 2, 10000);
    ASSERT_TRUE(ring->Write(0, block.data(), kRing));
    ASSERT_TRUE(ring->SetAttenuation(-600));  // -6 dB: about half the amplitude
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ring->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ring->SetAttenuation(plat::kAttenuationSilence);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ring->Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  plat::FinishVirtualSoundRecording();
  const auto samples = ReadWavSamples(path);
  std::remove(path.c_str());
  // About 500 ms of stereo frames in all, from the device's creation to its release.
  EXPECT_GE(samples.size(), 2u * 8 * 480);
  EXPECT_LE(samples.size(), 2u * 8 * 800);
  std::size_t loud = 0, silent = 0;
  for (const std::int16_t s : samples) {
    if (s == 5012) ++loud;  // 10000 * 10^(-600/2000)
    else if (s == 0) ++silent;
    else ADD_FAILURE() << "unexpected sample " << s;
  }
  EXPECT_NEAR(static_cast<double>(loud), 2 * 8 * 200, 2 * 8 * 60);
  EXPECT_GE(silent, 2u * 8 * 250);
  EXPECT_EQ(samples[0], 0);
  EXPECT_EQ(samples.back(), 0);
}

}  // namespace
