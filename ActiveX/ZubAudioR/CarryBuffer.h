// Cuts the device's TCP byte stream into 524-byte packets at their marker (00 00 00 80).
// Room for two packets; at most one packet leaves per read, so the backlog never exceeds one.
// Its content survives reconnections and playback resets. One thread uses it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zubr {

class CarryBuffer {
 public:
  static constexpr std::size_t kBytes = 1048;

  // Appends one read of n bytes. True, with the packet copied to packet (524 bytes), when a
  // complete packet starts at a marker in what is carried.
  bool Append(const std::uint8_t* data, std::size_t n, std::uint8_t* packet);

  std::size_t Fill() const { return fill_; }

 private:
  std::uint8_t bytes_[kBytes] = {};
  std::size_t fill_ = 0;
};

}  // namespace zubr
