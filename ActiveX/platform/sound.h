// Sound output: a looping ring with a readable play cursor, in DirectSound's terms.
// A SoundOutput and its rings are used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

namespace plat {

// The control's window as the platform knows it (an HWND on Windows); null = no window.
using WindowHandle = void*;

struct SoundFormat {
  std::uint32_t frames_per_second = 8000;
  std::uint16_t channels = 2;
  std::uint16_t bits_per_sample = 16;
  std::uint32_t BytesPerFrame() const { return channels * bits_per_sample / 8u; }
};

inline constexpr std::int32_t kAttenuationSilence = -10000;  // hundredths of a dB

class SoundRing {
 public:
  virtual ~SoundRing() = default;
  // Lock, copy and unlock len bytes at offset (the region must lie inside the ring).
  virtual bool Write(std::uint32_t offset, const void* data, std::uint32_t len) = 0;
  virtual bool Play() = 0;  // looping, from the current position
  virtual bool Stop() = 0;
  virtual bool SetPosition(std::uint32_t offset) = 0;
  virtual bool GetPlayCursor(std::uint32_t* offset) = 0;
  virtual bool SetAttenuation(std::int32_t hundredths_db) = 0;  // -10000 ... 0
  virtual std::uint32_t Size() const = 0;
};

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  // DSSCL_PRIORITY for the window; fails without one.
  virtual bool SetCooperativeLevel(WindowHandle window) = 0;
  virtual std::unique_ptr<SoundRing> CreateRing(const SoundFormat& format, std::uint32_t bytes) = 0;
};

// The default output device; null when there is none.
std::unique_ptr<SoundOutput> CreateSoundOutput();

}  // namespace plat
