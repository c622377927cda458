#include "audio_common/g711.h"

#include <array>

namespace audio {

namespace {
// The expansion of every code, worked out by the compiler from the same arithmetic.
constexpr std::array<std::int16_t, 256> kExpanded = [] {
  std::array<std::int16_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = DecodeMuLawSample(static_cast<std::uint8_t>(c));
  return t;
}();
// The code depends on the sample only through x >> 2, so one entry per such value covers all.
constexpr std::array<std::uint8_t, 16384> kCompressed = [] {
  std::array<std::uint8_t, 16384> t{};
  for (int v = -8192; v < 8192; ++v) t[v + 8192] = EncodeMuLawSample(static_cast<std::int16_t>(v * 4));
  return t;
}();

}  // namespace

void DecodeMuLawStereo(int count, const std::uint8_t* codes, std::int16_t* frames) {
  for (int i = 0; i < count; ++i) {
    const std::int16_t s = kExpanded[codes[i]];
    frames[2 * i] = s;
    frames[2 * i + 1] = s;
  }
}

void DecodeMuLaw(int count, const std::uint16_t* codes, std::int16_t* samples) {
  for (int i = 0; i < count; ++i) samples[i] = kExpanded[codes[i] & 0xFF];
}

void EncodeMuLaw(int count, const std::int16_t* samples, std::uint16_t* codes) {
  for (int i = 0; i < count; ++i) codes[i] = kCompressed[(samples[i] >> 2) + 8192];
}

}  // namespace audio
