// Feeds the carry buffer reads of every length it can be given and checks what comes out.
// Input: chunks of a 2-byte little-endian length word and up to that many bytes of data.
// Length words mostly give a socket read (0 ... 524 bytes); one in sixteen gives a longer one
// (525 ... 1100), past what the buffer holds at the top.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ZubAudioR/CarryBuffer.h"
#include "audio_common/g711.h"
#include "audio_common/packet.h"

#define CHECK(cond)                                                        \
  do {                                                                     \
    if (!(cond)) {                                                         \
      std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zubr::CarryBuffer carry;
  std::uint8_t packet[audio::kPacketBytes];
  std::int16_t frames[2 * audio::kPacketSamples];
  std::size_t at = 0;
  while (at + 2 <= size) {
    const unsigned word = data[at] | (data[at + 1] << 8);
    at += 2;
    std::size_t n = (word & 0xF000) == 0xF000 ? 525 + word % 576 : word % 525;
    if (n > size - at) n = size - at;  // the input's last read comes up short
    const bool got = carry.Append(data + at, n, packet);
    at += n;

    CHECK(carry.Fill() <= zubr::CarryBuffer::kBytes);
    if (n > zubr::CarryBuffer::kBytes) CHECK(!got && carry.Fill() == 0);
    if (!got) continue;
    CHECK(audio::GetBigEndian32(packet) == audio::kPacketMarker);
    const std::uint8_t* codes = packet + audio::kPacketHeaderBytes;
    audio::DecodeMuLawStereo(static_cast<int>(audio::kPacketSamples), codes, frames);
    for (std::size_t i = 0; i < audio::kPacketSamples; ++i) {
      const int left = frames[2 * i], right = frames[2 * i + 1];
      CHECK(left == right);
      CHECK(left == audio::DecodeMuLawSample(codes[i]));
      CHECK(left >= -32124 && left <= 32124);
    }
  }
  return 0;
}
