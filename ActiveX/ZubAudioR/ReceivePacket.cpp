#include <cstring>

#include "ZubAudioR/ReceiveAudio.h"
#include "audio_common/g711.h"
#include "audio_common/packet.h"

namespace zubr {

// One read from the socket (a datagram, or at most one packet's worth of the TCP stream), and
// at most one packet played.
void CReceiveAudio::ReceivePacket(plat::Socket s) {
  m_playout.StartCorrectionClock();
  std::memset(m_readBuffer, 0, 1024);
  const int n = plat::SocketRecv(s, m_readBuffer, static_cast<int>(audio::kPacketBytes));
  if (n < 0) {
    ++m_stats.read_errors;
    ResetPlayback();
    return;
  }
  ++m_stats.reads;
  m_stats.bytes_read += static_cast<std::uint64_t>(n);
  // The device's HTTP header; packets pass, since they begin with a zero byte.
  if (std::strstr(reinterpret_cast<const char*>(m_readBuffer), "HTTP") != nullptr) {
    ++m_stats.http_reads;
    return;
  }
  const std::uint8_t* packet = m_readBuffer;  // multicast: the datagram, short ones zero-filled
  if (m_streamType.load() != 1) {
    if (!CarryBuffer.Append(m_readBuffer, static_cast<std::size_t>(n), m_packet)) return;
    packet = m_packet;
  }
  ++m_stats.packets;
  const bool admitted = m_playout.Admit(m_delayTime.load(), m_volume.load());
  m_stats.delay_ms = m_playout.LastLevelMs();
  if (!admitted) {
    ++m_stats.packets_discarded;
    return;
  }
  const std::uint8_t* codes = packet + audio::kPacketHeaderBytes;
  m_peakValue = audio::PeakLevel(codes, audio::kPacketSamples);
  audio::DecodeMuLawStereo(static_cast<int>(audio::kPacketSamples), codes, m_block);
  m_playout.Put(m_block, m_delayTime.load(), m_volume.load());
  ++m_stats.packets_played;
}

}  // namespace zubr
