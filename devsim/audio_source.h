// Where the emulated device's audio comes from. A source yields 16-bit samples of 8 kHz mono
// audio, one at a time, forever; it is used by one thread only. Each connection and the
// multicast sender make their own source from a SourceFactory, so every stream starts at the
// beginning of the signal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace devsim {

inline constexpr int kSampleRate = 8000;
// About -6 dBFS.
inline constexpr int kDefaultAmplitude = 16384;
inline constexpr double kDefaultToneHz = 1000.0;

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  virtual std::int16_t NextSample() = 0;
};

using SourceFactory = std::function<std::unique_ptr<AudioSource>()>;

// A sine tone; the phase is computed from the sample index, so it never drifts.
SourceFactory ToneSource(double hz = kDefaultToneHz, int amplitude = kDefaultAmplitude);

// A known signal for end-to-end checks: a sawtooth that climbs by `step` per sample over the
// whole 16-bit range and wraps (step 16: one period per 4096 samples, eight packets), so a lost
// or repeated stretch shows as a jump in the ramp.
SourceFactory RampSource(int step = 16);

// Plays the samples in order and starts again at their end. samples must not be empty.
SourceFactory LoopSource(std::shared_ptr<const std::vector<std::int16_t>> samples);

// Reads a RIFF WAV image: PCM 16-bit, 8000 Hz, mono or stereo (the left channel is kept).
// Anything else is refused with a message naming what is wrong.
bool ParseWav(const std::string& bytes, std::vector<std::int16_t>* samples, std::string* error);

// ParseWav on a file's contents, wrapped in a LoopSource.
bool WavFileSource(const std::string& path, SourceFactory* factory, std::string* error);

}  // namespace devsim
