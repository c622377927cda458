#include <cstring>

#include "ZubAudioR/ReceiveAudio.h"

namespace zubr {

// One read from the socket: a datagram of at most one packet (multicast) or at most one
// packet's worth of the TCP stream.
void CReceiveAudio::ReceivePacket(plat::Socket s) {
  std::memset(m_readBuffer, 0, 1024);
  const int n = plat::SocketRecv(s, m_readBuffer, 524);
  if (n < 0) {
    ++m_stats.read_errors;
    ResetPlayback();
    return;
  }
  ++m_stats.reads;
  m_stats.bytes_read += static_cast<std::uint64_t>(n);
}

}  // namespace zubr
