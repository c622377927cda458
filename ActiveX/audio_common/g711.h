// G.711 mu-law: the expander the receive control plays with and the compressor the send control
// (and the device emulator) encodes with. Both are bit-exact to the ITU-T tool library's routines.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

constexpr std::int16_t DecodeMuLawSample(std::uint8_t code) {
  const unsigned t = static_cast<std::uint8_t>(~code);
  const unsigned exponent = (t >> 4) & 7u;
  const unsigned mantissa = t & 15u;
  const int magnitude = static_cast<int>(((mantissa * 8u + 132u) << exponent) - 132u);
  return static_cast<std::int16_t>(code < 128 ? -magnitude : magnitude);
}

constexpr std::uint8_t EncodeMuLawSample(std::int16_t x) {
  // Negative samples take the one's complement, which moves their thresholds by one step.
  int m = (x >= 0 ? (x >> 2) : ((-x - 1) >> 2)) + 33;
  if (m > 8191) m = 8191;
  int segment = 1;
  for (int i = m >> 6; i != 0; i >>= 1) ++segment;
  const int low = 15 - ((m >> segment) & 15);
  int code = ((8 - segment) << 4) | low;
  if (x >= 0) code |= 0x80;
  return static_cast<std::uint8_t>(code);
}

// The level indicator of count codes: the smallest code with its sign bit cleared. Codes grow
// toward silence, so 127 is a silent block and 0 holds a sample of the largest magnitude.
constexpr std::uint8_t PeakLevel(const std::uint8_t* codes, std::size_t count) {
  std::uint8_t p = 127;
  for (std::size_t i = 0; i < count; ++i)
    if ((codes[i] & 0x7F) < p) p = codes[i] & 0x7F;
  return p;
}

// count byte codes to count stereo frames (left = right = the decoded sample), 4 bytes each.
void DecodeMuLawStereo(int count, const std::uint8_t* codes, std::int16_t* frames);

// count codes (one per 16-bit slot, 0 ... 255) to count samples.
void DecodeMuLaw(int count, const std::uint16_t* codes, std::int16_t* samples);
// count samples to count codes (one per 16-bit slot).
void EncodeMuLaw(int count, const std::int16_t* samples, std::uint16_t* codes);

}  // namespace audio
