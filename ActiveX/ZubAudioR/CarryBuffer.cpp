#include "ZubAudioR/CarryBuffer.h"

#include <cstring>

#include "audio_common/packet.h"

namespace zubr {

bool CarryBuffer::Append(const std::uint8_t* data, std::size_t n, std::uint8_t* packet) {
  if (fill_ + n > kBytes) fill_ = 0;  // nothing usable came of what was carried
  if (n > kBytes) return false;
  std::memcpy(bytes_ + fill_, data, n);
  fill_ += n;
  if (fill_ < audio::kPacketBytes) return false;
  std::size_t i = 0;
  while (i + 4 <= fill_ && !(bytes_[i] == 0 && bytes_[i + 1] == 0 && bytes_[i + 2] == 0 && bytes_[i + 3] == 0x80))
    ++i;
  if (i + 4 > fill_) {
    fill_ = 0;
    return false;
  }
  if (fill_ - i < audio::kPacketBytes) return false;  // the packet's end is still to come
  std::memcpy(packet, bytes_ + i, audio::kPacketBytes);
  const std::size_t rest = fill_ - i - audio::kPacketBytes;
  std::memmove(bytes_, bytes_ + i + audio::kPacketBytes, rest);
  fill_ = rest;
  return true;
}

}  // namespace zubr
