// Turns a source into the device's 524-byte audio packets: the header words, then 512 mu-law
// codes. Each stream counts its samples from 0. Used by one thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "audio_common/packet.h"
#include "devsim/audio_source.h"

namespace devsim {

using Packet = std::array<std::uint8_t, audio::kPacketBytes>;

class PacketStream {
 public:
  explicit PacketStream(std::unique_ptr<AudioSource> source) : source_(std::move(source)) {}
  // The next packet; its counter is the number of samples that came before it.
  Packet Next();

 private:
  std::unique_ptr<AudioSource> source_;
  std::uint32_t counter_ = 0;
};

}  // namespace devsim
