#include "audio_common/g711.h"

namespace audio {

void DecodeMuLaw(int count, const std::uint16_t* codes, std::int16_t* samples) {
  for (int i = 0; i < count; ++i) samples[i] = DecodeMuLawSample(static_cast<std::uint8_t>(codes[i]));
}

void EncodeMuLaw(int count, const std::int16_t* samples, std::uint16_t* codes) {
  for (int i = 0; i < count; ++i) codes[i] = EncodeMuLawSample(samples[i]);
}

}  // namespace audio
