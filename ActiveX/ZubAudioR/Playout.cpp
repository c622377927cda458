#include "ZubAudioR/Playout.h"

#include <algorithm>

namespace zubr {

namespace {
constexpr std::uint8_t kSilence[Playout::kBlockBytes] = {};
constexpr std::uint32_t kBytesPerMs = 32;
constexpr std::uint32_t kRampSteps = 16;
constexpr std::int32_t kCorrectionRampStep = 10;  // about ten blocks after a start
}  // namespace

void Playout::Attach(plat::SoundRing* ring) {
  ring_ = ring;
  WritePos_ = 0;
  BufferPlaying_ = false;
  RampStep_ = 0;
}

std::int32_t Playout::UsableDelay(std::int32_t delay_ms) { return std::clamp(delay_ms, 0, kMaxDelayMs); }

std::int32_t Playout::Attenuation(std::int32_t level) {
  if (level <= 0) return plat::kAttenuationSilence;
  if (level >= 100) return 0;
  return (level - 100) * 50;
}

void Playout::StartCorrectionClock() {
  if (LastCorrectionTime_ == 0) LastCorrectionTime_ = clock_.NowMs();
}

void Playout::Reset() {
  if (ring_) {
    ring_->SetAttenuation(plat::kAttenuationSilence);
    ring_->Stop();
    ring_->SetPosition(0);
  }
  BufferPlaying_ = false;
  RampStep_ = 0;
  WritePos_ = 0;
}

void Playout::WriteBlock(const void* block, std::int32_t delay_ms, std::int32_t volume) {
  if (!ring_) return;
  ring_->Write(WritePos_, block, kBlockBytes);  // a failed write loses the block silently
  const std::uint32_t threshold = static_cast<std::uint32_t>(UsableDelay(delay_ms)) * kBytesPerMs;
  if (WritePos_ > threshold && !BufferPlaying_) {
    ring_->SetAttenuation(plat::kAttenuationSilence);
    const bool started = ring_->Play();
    BufferPlaying_ = true;  // no retry until the next reset
    if (!started) return;
  }
  if (BufferPlaying_ && RampStep_ < static_cast<std::int32_t>(kRampSteps)) {
    ring_->SetAttenuation(Attenuation(volume * RampStep_ / 15));
    ++RampStep_;
  }
}

void Playout::AdvanceWritePos() {
  WritePos_ += kBlockBytes;
  if (WritePos_ >= kRingBytes && BufferPlaying_) WritePos_ -= kRingBytes;
}

void Playout::Put(const void* block, std::int32_t delay_ms, std::int32_t volume) {
  WriteBlock(block, delay_ms, volume);
  AdvanceWritePos();
}

void Playout::PutSilence(std::int32_t delay_ms, std::int32_t volume) {
  ++silence_blocks_;
  Put(kSilence, delay_ms, volume);  // a block like any other, fade-in step included
}

bool Playout::Admit(std::int32_t delay_ms, std::int32_t volume) {
  if (BufferPlaying_ && ring_) {
    std::uint32_t cursor = 0;
    ring_->GetPlayCursor(&cursor);
    std::int64_t level = static_cast<std::int64_t>(WritePos_) - cursor;
    if (level < 0) level += kRingBytes;
    last_level_ms_ = static_cast<std::uint32_t>(level) / kBytesPerMs;
    if (level > kRingBytes * 9 / 10) {
      ++discarded_;
      return false;  // overrun: wait for the cursor to make room
    }
    if (level < kRingBytes / 15) PutSilence(delay_ms, volume);
    const std::uint32_t now = clock_.NowMs();
    if (now - LastCorrectionTime_ > kCorrectionPeriodMs || now < kCorrectionPeriodMs ||
        RampStep_ == kCorrectionRampStep) {
      ++corrections_;
      const std::uint32_t level_ms = static_cast<std::uint32_t>(level) / kBytesPerMs;
      const std::uint32_t target =
          static_cast<std::uint32_t>(std::min(UsableDelay(delay_ms), kMaxCorrectedDelayMs));
      if (target > level_ms + 100) {
        // Too short: lengthened at once by silence, and nothing is dropped afterwards, or the
        // correction would undo itself.
        for (std::uint32_t n = (target - level_ms) / 64; n > 0; --n) PutSilence(delay_ms, volume);
      } else if (target + 100 < level_ms && DropCount_ == 0) {
        DropCount_ = (level_ms - target) / 64;  // too long: skip packets as they arrive
      }
      LastCorrectionTime_ = now;
    }
  }
  if (DropCount_ > 0) {
    --DropCount_;
    ++discarded_;
    return false;
  }
  return true;
}

}  // namespace zubr
