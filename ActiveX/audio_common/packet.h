// The device's audio packet: three 32-bit big-endian header words (marker, sample count,
// running sample counter) and 512 mu-law codes, 64 ms of 8 kHz mono audio.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

inline constexpr std::size_t kPacketBytes = 524;
inline constexpr std::size_t kPacketHeaderBytes = 12;
inline constexpr std::size_t kPacketSamples = 512;
inline constexpr std::uint32_t kPacketMarker = 128;
inline constexpr std::uint32_t kPacketMs = 64;

inline void PutBigEndian32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

inline std::uint32_t GetBigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Writes the header of the packet that carries samples [counter, counter + 512).
inline void PutPacketHeader(std::uint8_t* packet, std::uint32_t counter) {
  PutBigEndian32(packet, kPacketMarker);
  PutBigEndian32(packet + 4, kPacketSamples);
  PutBigEndian32(packet + 8, counter);
}

}  // namespace audio
