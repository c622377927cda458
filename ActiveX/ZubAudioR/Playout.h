// The playback ring's writer and the control of the playback delay: the start rule and fade-in
// of WriteBlock, the overrun and underrun guards, and the correction toward DelayTime.
//
// Plain logic over a millisecond clock and a sound ring, so tests can drive it packet by packet
// in simulated time. Used by the worker thread only (Attach by Play before the worker starts).
#pragma once

#include <cstdint>

#include "platform/sound.h"

namespace zubr {

class MsClock {
 public:
  virtual ~MsClock() = default;
  virtual std::uint32_t NowMs() = 0;  // wraps at 2^32
};

class Playout {
 public:
  static constexpr std::uint32_t kRingBytes = 51200;
  static constexpr std::uint32_t kBlockBytes = 2048;
  static constexpr std::int32_t kMaxDelayMs = 1535;  // the last block start beyond the threshold
  static constexpr std::uint32_t kCorrectionPeriodMs = 60000;
  // The correction aims no higher than the overrun guard (1440 ms) can hold with 100 ms to spare,
  // or a long DelayTime would add silence each minute only for the guard to discard packets.
  static constexpr std::int32_t kMaxCorrectedDelayMs = 1340;

  explicit Playout(MsClock& clock) : clock_(clock) {}

  // A new ring (InitSound): prebuffering from offset 0. Null detaches.
  void Attach(plat::SoundRing* ring);
  plat::SoundRing* Ring() const { return ring_; }

  // Step 1 of each packet: starts the correction clock once.
  void StartCorrectionClock();
  // The guards, the correction and the dropping for one complete packet; false = discard it.
  bool Admit(std::int32_t delay_ms, std::int32_t volume);
  // Writes one block at WritePos with the start rule and the fade-in, then advances WritePos.
  void Put(const void* block, std::int32_t delay_ms, std::int32_t volume);
  // Mutes, stops and rewinds the ring; the next blocks prebuffer afresh.
  void Reset();

  // The delay the start rule and the correction work with: DelayTime clamped into 0 ... 1535,
  // so that every value still lets the ring start.
  static std::int32_t UsableDelay(std::int32_t delay_ms);
  // Attenuation in hundredths of a dB for a level on the 0 ... 100 scale.
  static std::int32_t Attenuation(std::int32_t level);

  std::uint32_t WritePos() const { return WritePos_; }
  bool BufferPlaying() const { return BufferPlaying_; }
  std::int32_t RampStep() const { return RampStep_; }
  std::uint32_t DropCount() const { return DropCount_; }
  std::uint32_t LastCorrectionTime() const { return LastCorrectionTime_; }
  std::uint32_t Corrections() const { return corrections_; }
  std::uint32_t SilenceBlocks() const { return silence_blocks_; }
  std::uint32_t Discarded() const { return discarded_; }
  // The level measured at the last packet while playing, in milliseconds.
  std::uint32_t LastLevelMs() const { return last_level_ms_; }

 private:
  void WriteBlock(const void* block, std::int32_t delay_ms, std::int32_t volume);
  void AdvanceWritePos();
  void PutSilence(std::int32_t delay_ms, std::int32_t volume);

  MsClock& clock_;
  plat::SoundRing* ring_ = nullptr;
  std::uint32_t WritePos_ = 0;
  bool BufferPlaying_ = false;
  std::int32_t RampStep_ = 0;
  std::uint32_t DropCount_ = 0;
  std::uint32_t LastCorrectionTime_ = 0;
  std::uint32_t corrections_ = 0;
  std::uint32_t silence_blocks_ = 0;
  std::uint32_t discarded_ = 0;
  std::uint32_t last_level_ms_ = 0;
};

}  // namespace zubr
