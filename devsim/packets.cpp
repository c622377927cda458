#include "devsim/packets.h"

#include "audio_common/g711.h"

namespace devsim {

Packet PacketStream::Next() {
  Packet p;
  audio::PutPacketHeader(p.data(), counter_);
  for (std::size_t i = 0; i < audio::kPacketSamples; ++i)
    p[audio::kPacketHeaderBytes + i] = audio::EncodeMuLawSample(source_->NextSample());
  counter_ += static_cast<std::uint32_t>(audio::kPacketSamples);  // wraps like the device's word
  return p;
}

}  // namespace devsim
