// The mu-law codec on arbitrary codes and samples: the input read as bytes gives codes, read as
// 16-bit little-endian words gives samples.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio_common/g711.h"

#define CHECK(cond)                                                        \
  do {                                                                     \
    if (!(cond)) {                                                         \
      std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

namespace {

// The distance between adjacent decoded values in the code's segment.
int StepOf(std::uint8_t code) { return 8 << ((~code >> 4) & 7); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int count = static_cast<int>(size);
  std::vector<std::uint16_t> slots(data, data + size);
  std::vector<std::int16_t> mono(size), frames(2 * size);
  audio::DecodeMuLaw(count, slots.data(), mono.data());
  audio::DecodeMuLawStereo(count, data, frames.data());
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t code = data[i];
    const std::int16_t x = audio::DecodeMuLawSample(code);
    CHECK(mono[i] == x && frames[2 * i] == x && frames[2 * i + 1] == x);
    // Code 127 is -0, which encodes as +0 (255); every other code comes back.
    CHECK(audio::EncodeMuLawSample(x) == (code == 127 ? 255 : code));
  }

  const std::size_t n = size / 2;
  std::vector<std::int16_t> samples(n);
  for (std::size_t i = 0; i < n; ++i)
    samples[i] = static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  std::vector<std::uint16_t> codes(n);
  audio::EncodeMuLaw(static_cast<int>(n), samples.data(), codes.data());
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t code = audio::EncodeMuLawSample(samples[i]);
    CHECK(codes[i] == code);
    const int error = audio::DecodeMuLawSample(code) - samples[i];
    CHECK(error >= -StepOf(code) && error <= StepOf(code));
    // The compressor keeps order: a larger sample never decodes below a smaller one.
    if (i > 0) {
      const bool up = samples[i] >= samples[i - 1];
      const int a = audio::DecodeMuLawSample(audio::EncodeMuLawSample(samples[i - 1]));
      const int b = audio::DecodeMuLawSample(code);
      CHECK(up ? b >= a : b <= a);
    }
  }
  return 0;
}
