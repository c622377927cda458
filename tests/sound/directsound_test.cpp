// The DirectSound output on the default device, as the receive control uses it: run by
// scripts/wine-sound-test under wine with a PulseAudio null sink, which plays in real time.
// What the ring's methods did is read back from its DirectSound buffer.
#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "platform/win32/directsound.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr plat::SoundFormat kFormat{8000, 2, 16};
constexpr std::uint32_t kRing = 51200;  // the receive control's ring: 1.6 s

// A hidden top-level window standing in for the control's, for the cooperative level.
class HiddenWindow {
 public:
  HiddenWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZubDirectSoundTest";
    RegisterClassW(&wc);  // already registered by an earlier test: fine
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                            wc.hInstance, nullptr);
  }
  ~HiddenWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// Bytes the cursor moved from a to b, going forward round the ring.
std::uint32_t Advance(std::uint32_t a, std::uint32_t b) { return (b + kRing - a) % kRing; }
std::uint32_t Distance(std::uint32_t a, std::uint32_t b) { return std::min(Advance(a, b), Advance(b, a)); }

std::uint32_t Cursor(plat::SoundRing& ring) {
  std::uint32_t at = kRing;
  EXPECT_TRUE(ring.GetPlayCursor(&at));
  return at;
}

// The cursor's rate over 1.5 s of polling (about one lap). A step longer than a third of the
// ring (a stalled machine) might hide a lap, so it is left out of both sums; 0 when less than a
// second was left.
double BytesPerMs(plat::SoundRing& ring) {
  std::uint32_t at = Cursor(ring);
  auto when = Clock::now();
  const auto give_up = when + std::chrono::seconds(10);
  std::uint64_t bytes = 0;
  std::chrono::microseconds counted{0};
  while (counted < std::chrono::milliseconds(1500) && Clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint32_t next = Cursor(ring);
    const auto now = Clock::now();
    const auto step = std::chrono::duration_cast<std::chrono::microseconds>(now - when);
    if (step < std::chrono::milliseconds(500)) {
      bytes += Advance(at, next);
      counted += step;
    }
    at = next;
    when = now;
  }
  return counted >= std::chrono::seconds(1) ? bytes * 1000.0 / counted.count() : 0.0;
}

// The whole buffer, as DirectSound holds it.
std::vector<unsigned char> Contents(IDirectSoundBuffer8* buffer) {
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD len1 = 0, len2 = 0;
  if (FAILED(buffer->Lock(0, 0, &part1, &len1, &part2, &len2, DSBLOCK_ENTIREBUFFER))) return {};
  std::vector<unsigned char> out(static_cast<unsigned char*>(part1), static_cast<unsigned char*>(part1) + len1);
  buffer->Unlock(part1, len1, part2, len2);
  return out;
}

class DirectSound : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window_.get(), nullptr);
    output_ = plat::CreateSoundOutput();
    ASSERT_NE(output_, nullptr) << "no sound device: is the PulseAudio null sink running?";
    ASSERT_TRUE(output_->SetCooperativeLevel(window_.get()));
    ring_ = output_->CreateRing(kFormat, kRing);
    ASSERT_NE(ring_, nullptr);
    buffer_ = plat::DirectSoundBufferOf(*ring_);
    ASSERT_NE(buffer_, nullptr);
  }

  HiddenWindow window_;
  std::unique_ptr<plat::SoundOutput> output_;
  std::unique_ptr<plat::SoundRing> ring_;
  IDirectSoundBuffer8* buffer_ = nullptr;
};

// The backend refuses a null window itself: DirectSound under wine accepts any handle. A ring
// made before any cooperative level is DirectSound's to allow; under wine it is made and plays.
TEST(DirectSoundOutput, CooperativeLevelNeedsAWindow) {
  HiddenWindow window;
  ASSERT_NE(window.get(), nullptr);
  auto output = plat::CreateSoundOutput();
  ASSERT_NE(output, nullptr) << "no sound device: is the PulseAudio null sink running?";
  {
    auto early = output->CreateRing(kFormat, kRing);
    ASSERT_NE(early, nullptr);
    EXPECT_TRUE(early->Play());
    EXPECT_TRUE(early->Stop());
  }
  EXPECT_FALSE(output->SetCooperativeLevel(nullptr));
  EXPECT_TRUE(output->SetCooperativeLevel(window.get()));
  EXPECT_EQ(output->CreateRing(kFormat, kRing + 2), nullptr);  // not a whole number of frames
  EXPECT_EQ(output->CreateRing(kFormat, 0), nullptr);
  // The ring keeps the device alive: it may outlive the output.
  auto ring = output->CreateRing(kFormat, kRing);
  ASSERT_NE(ring, nullptr);
  output.reset();
  EXPECT_TRUE(ring->Play());
  EXPECT_TRUE(ring->Stop());
}

TEST_F(DirectSound, RingIsTheControlsBuffer) {
  EXPECT_EQ(ring_->Size(), kRing);
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_HRESULT_SUCCEEDED(buffer_->GetCaps(&caps));
  EXPECT_EQ(caps.dwBufferBytes, kRing);
  // The location flag gives way to the location chosen.
  const DWORD wanted = DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
  EXPECT_EQ(caps.dwFlags & wanted, wanted);
  WAVEFORMATEX wave{};
  ASSERT_HRESULT_SUCCEEDED(buffer_->GetFormat(&wave, sizeof wave, nullptr));
  EXPECT_EQ(wave.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wave.nSamplesPerSec, 8000u);
  EXPECT_EQ(wave.nChannels, 2u);
  EXPECT_EQ(wave.wBitsPerSample, 16u);
  EXPECT_EQ(wave.nBlockAlign, 4u);
  EXPECT_EQ(wave.nAvgBytesPerSec, 32000u);
  DWORD status = ~0u;
  ASSERT_HRESULT_SUCCEEDED(buffer_->GetStatus(&status));
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  EXPECT_EQ(Cursor(*ring_), 0u);
}

// Each case writes its own byte; the buffer must then hold exactly the successful writes.
TEST_F(DirectSound, WritesLandInsideTheRingOnly) {
  struct Case {
    std::uint32_t offset, len;
    bool ok;
  };
  const Case cases[] = {
      {0, kRing, true},          {1000, 3000, true},        {kRing - 400, 400, true},
      {kRing - 400, 404, false}, {kRing, 4, false},         {kRing, 0, true},
      {0, kRing + 4, false},     {0xFFFFFFF0u, 0x20, false}, {kRing - 4, 4, true},
  };
  std::vector<unsigned char> want(kRing, 0);
  unsigned char fill = 0x11;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.len));
    const std::vector<unsigned char> data(c.len, fill);
    EXPECT_EQ(ring_->Write(c.offset, data.data(), c.len), c.ok);
    if (c.ok) std::memset(want.data() + c.offset, fill, c.len);
    EXPECT_TRUE(Contents(buffer_) == want);
    fill += 0x11;
  }
}

TEST_F(DirectSound, AttenuationReadsBack) {
  struct Case {
    std::int32_t attenuation;
    bool ok;
  };
  const Case cases[] = {{-600, true}, {0, true}, {plat::kAttenuationSilence, true}, {-1, true},
                        {1, false},   {plat::kAttenuationSilence - 1, false}};
  LONG last = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attenuation);
    EXPECT_EQ(ring_->SetAttenuation(c.attenuation), c.ok);
    if (c.ok) last = c.attenuation;
    LONG volume = 1;
    ASSERT_HRESULT_SUCCEEDED(buffer_->GetVolume(&volume));
    EXPECT_EQ(volume, last);
  }
}

// On a thread of its own, as the control's worker uses the ring made on the container's thread.
TEST_F(DirectSound, CursorRunsAtTheByteRateStopsAndRewinds) {
  std::thread worker([this] {
    plat::SoundRing& ring = *ring_;
    ASSERT_TRUE(ring.Play());
    DWORD status = 0;
    ASSERT_HRESULT_SUCCEEDED(buffer_->GetStatus(&status));
    EXPECT_EQ(status & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);

    // The cursor jumps ahead once at the start; measure after that. Wine moves it only when its
    // mixing thread runs, so on a starved machine it falls behind the clock, but it never runs
    // ahead: every window must be at most 40 bytes/ms, and one of up to three at least 24.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    double best = 0;
    for (int window = 0; window < 3 && best < 24.0; ++window) {
      const double per_ms = BytesPerMs(ring);
      std::printf("play cursor: %.2f bytes/ms\n", per_ms);
      EXPECT_LE(per_ms, 40.0);
      best = std::max(best, per_ms);
    }
    EXPECT_GE(best, 24.0);
    EXPECT_EQ(Cursor(ring) % 4, 0u);

    ASSERT_TRUE(ring.Stop());
    ASSERT_HRESULT_SUCCEEDED(buffer_->GetStatus(&status));
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
    const std::uint32_t stopped = Cursor(ring);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(Distance(stopped, Cursor(ring)), 16u);

    EXPECT_FALSE(ring.SetPosition(kRing));
    ASSERT_TRUE(ring.SetPosition(0));
    EXPECT_LE(Distance(0, Cursor(ring)), 16u);
    // Playing again starts from there.
    const auto start = Clock::now();
    ASSERT_TRUE(ring.Play());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::uint32_t moved = Cursor(ring);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GT(moved, 0u);
    EXPECT_LE(moved, static_cast<std::uint32_t>(ms) * 40 + 3200);
    EXPECT_TRUE(ring.Stop());
  });
  worker.join();
}

}  // namespace
