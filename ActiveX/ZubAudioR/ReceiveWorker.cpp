// The worker: obtains the device's stream over TCP or multicast and hands it, one read at a
// time, to ReceivePacket. It reconnects on its own and obeys ReceiveState.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ZubAudioR/ReceiveAudio.h"
#include "audio_common/audio_common.h"

namespace zubr {

namespace {

constexpr std::uint32_t kStallMs = 5000;
constexpr std::uint32_t kPassPauseMs = 10;
constexpr std::uint32_t kConnectSettleMs = 100;
constexpr std::uint32_t kQueryFailPauseMs = 100;
constexpr std::uint32_t kClosePauseMs = 300;
constexpr std::uint32_t kNoSocketPauseMs = 50;
constexpr int kTcpConnectBufferBytes = 163840;
constexpr int kTcpStreamBufferBytes = 81920;
constexpr int kUdpBufferBytes = 32000;
constexpr std::uint32_t kUdpTimeoutMs = 600;
constexpr std::size_t kGroupTextMax = 127;
constexpr int kPeekBytes = 1500;

std::string PortText(std::int32_t port) { return std::to_string(port); }

}  // namespace

unsigned CReceiveAudio::ReceiveWorker(void* self) {
  static_cast<CReceiveAudio*>(self)->RunWorker();
  return 0;
}

void CReceiveAudio::RunWorker() {
  ++m_stats.worker_starts;
  audio::StartWinsock(&m_netStarted);
  NetEvent = std::make_unique<plat::Event>(true, false);
  m_connected = false;
  m_socket = plat::kInvalidSocket;
  bool quit = false;
  while (!quit) {
    // Compare-and-set: a Quitting set by Reload meanwhile must stay, or Reload would wait forever.
    std::int32_t expected = kReloadRequested;
    ReceiveState.compare_exchange_strong(expected, kPlaying);
    if (m_streamType.load() == 1) MulticastLoop(&quit);
    else TcpLoop(&quit);
  }
  NetEvent.reset();
  if (m_netStarted) plat::NetCleanup();
  m_netStarted = false;
  ReleaseSound();
  ++m_stats.worker_ends;
}

void CReceiveAudio::CloseSocket(bool shutdown_first) {
  if (m_socket == plat::kInvalidSocket) return;
  if (shutdown_first) plat::SocketShutdown(m_socket, plat::Shutdown::kBoth);
  plat::SocketClose(m_socket);
  m_socket = plat::kInvalidSocket;
}

void CReceiveAudio::TcpLoop(bool* quit) {
  plat::Event* pair[2] = {NetEvent.get(), QuitEvent.get()};
  for (;;) {
    if (m_connected) {
      const std::uint32_t woke = plat::WaitForEvents(pair, 2, kStallMs);
      if (woke == 1) {
        CloseSocket(true);
        *quit = true;
        return;
      }
      if (woke == plat::kWaitTimeout) {
        ++m_stats.stalls;
        CloseSocket(true);
        ResetPlayback();
        m_socket = OpenTcpStream();
        m_connected = m_socket != plat::kInvalidSocket;
      }
      plat::NetworkEvents events;
      if (m_socket == plat::kInvalidSocket ||
          plat::EnumNetworkEvents(m_socket, NetEvent.get(), &events) != 0) {
        plat::SleepMs(kQueryFailPauseMs);
        CloseSocket(true);
        m_connected = false;
        ResetPlayback();
      } else {
        if (events.events & plat::kFdConnect) {
          if (events.errors[plat::kFdConnectSlot] == 0) ++m_stats.connects;
          else ++m_stats.connect_failures;
          m_connected = true;
          if (!SendAudioRequest(m_socket)) {
            CloseSocket(false);
            m_connected = false;
          } else {
            ++m_stats.requests_sent;
          }
        }
        if ((events.events & plat::kFdRead) && m_socket != plat::kInvalidSocket) ReceivePacket(m_socket);
        if ((events.events & plat::kFdClose) || ReceiveState.load() != kPlaying) {
          if (events.events & plat::kFdClose) ++m_stats.peer_closes;
          CloseSocket(true);
          m_connected = false;
          ResetPlayback();
          plat::SleepMs(kClosePauseMs);
        }
      }
    } else if (ReceiveState.load() == kPlaying) {
      m_socket = OpenTcpStream();
      m_connected = m_socket != plat::kInvalidSocket;
    }
    plat::SleepMs(kPassPauseMs);
    const std::int32_t state = ReceiveState.load();
    if (state == kReloadRequested) {
      CloseSocket(false);
      m_connected = false;
      return;
    }
    if (state == kQuitting) {
      CloseSocket(true);
      *quit = true;
      return;
    }
  }
}

plat::Socket CReceiveAudio::OpenTcpStream() {
  const Settings settings = TakeSettings();
  const std::string service = PortText(settings.port);
  plat::ResolveHints hints;
  hints.type = plat::SockType::kStream;
  std::vector<plat::AddrInfo> found;
  if (plat::Resolve(settings.ip.c_str(), service.c_str(), hints, &found) != 0 || found.empty()) {
    ++m_stats.tcp_open_failures;
    return plat::kInvalidSocket;
  }
  const plat::AddrInfo& first = found.front();  // only the first result is ever tried
  plat::Socket s = plat::SocketCreate(first.family, first.type, first.protocol);
  if (s == plat::kInvalidSocket) {
    ++m_stats.tcp_open_failures;
    return s;
  }
  if (plat::EventSelect(s, NetEvent.get(), plat::kFdRead | plat::kFdConnect | plat::kFdClose) != 0) {
    plat::SocketClose(s);
    ++m_stats.tcp_open_failures;
    return plat::kInvalidSocket;
  }
  plat::SetRecvBufferSize(s, kTcpConnectBufferBytes);
  if (plat::SocketConnect(s, first.addr) == 0) {
    ++m_stats.tcp_opens;
    return s;
  }
  const int error = plat::LastNetError();
  plat::SleepMs(kConnectSettleMs);
  if (error == plat::kWsaEWOULDBLOCK) {
    ++m_stats.tcp_opens;
    return s;
  }
  plat::SocketClose(s);
  ++m_stats.tcp_open_failures;
  return plat::kInvalidSocket;
}

bool CReceiveAudio::SendAudioRequest(plat::Socket s) {
  const std::string ip = TakeSettings().ip;
  char request[1024] = {};
  const int n = std::snprintf(request, sizeof request, "%s%s%s%s\r\n\r\n", "GET /api/audio?lowdelay=1",
                              " HTTP/1.1\r\n", "HOST:", ip.c_str());
  // A request that does not fit is not sent cut short; the connection is dropped instead.
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof request) return false;
  plat::SetRecvBufferSize(s, kTcpStreamBufferBytes);
  return plat::SocketSend(s, request, static_cast<int>(std::strlen(request))) != plat::kSocketError;
}

plat::Socket CReceiveAudio::OpenMulticastStream() {
  const Settings settings = TakeSettings();
  const std::string group = settings.ip.substr(0, kGroupTextMax);
  const std::string service = PortText(settings.port);
  plat::ResolveHints group_hints;
  group_hints.numeric_host = true;
  group_hints.type = plat::SockType::kDgram;
  std::vector<plat::AddrInfo> groups;
  if (plat::Resolve(group.c_str(), nullptr, group_hints, &groups) != 0 || groups.empty())
    return plat::kInvalidSocket;
  plat::ResolveHints local_hints;
  local_hints.family = groups.front().family;
  local_hints.type = plat::SockType::kDgram;
  local_hints.passive = true;
  std::vector<plat::AddrInfo> locals;
  if (plat::Resolve(nullptr, service.c_str(), local_hints, &locals) != 0 || locals.empty())
    return plat::kInvalidSocket;

  const bool v6 = groups.front().family == plat::Family::kInet6;
  const plat::Socket s = plat::SocketCreate(v6 ? locals.front().family : plat::Family::kInet,
                                            plat::SockType::kDgram, 0);
  if (s == plat::kInvalidSocket) return s;
  plat::SetReuseAddress(s, true);
  const plat::SockAddr bind_to = v6 ? locals.front().addr
                                    : plat::MakeIPv4Address(0, static_cast<std::uint16_t>(settings.port));
  // Past this point the socket is returned whatever fails. The receive time-out is set even on
  // an early end, so the loop's peek stays bounded and the worker still sees ReceiveState.
  if (plat::SocketBind(s, bind_to) != 0 && plat::LastNetError() != plat::kWsaEWOULDBLOCK) {
    plat::SetRecvTimeout(s, kUdpTimeoutMs);
    return s;
  }
  if (plat::SetRecvBufferSize(s, kUdpBufferBytes) != 0 && plat::LastNetError() != plat::kWsaEWOULDBLOCK) {
    plat::SetRecvTimeout(s, kUdpTimeoutMs);
    return s;
  }
  plat::SetRecvTimeout(s, kUdpTimeoutMs);
  const int joined = v6 ? plat::JoinGroupV6(s, groups.front().addr, 0)
                        : plat::JoinGroupV4(s, plat::ParseIPv4(group.c_str()), 0);
  if (joined == 0) ++m_stats.multicast_joins;
  return s;
}

void CReceiveAudio::MulticastLoop(bool* quit) {
  m_socket = OpenMulticastStream();
  m_connected = m_socket != plat::kInvalidSocket;
  if (m_connected) ++m_stats.multicast_opens;
  else ++m_stats.multicast_open_failures;
  unsigned char peek[kPeekBytes];
  for (;;) {
    bool has_data = false;
    if (m_socket != plat::kInvalidSocket) {
      const int n = plat::SocketRecv(m_socket, peek, kPeekBytes, true);
      // A datagram too long even for the peek stays queued; ReceivePacket's read takes it off.
      has_data = n >= 0 || plat::LastNetError() == plat::kWsaEMSGSIZE;
    } else {
      plat::SleepMs(kNoSocketPauseMs);  // nothing to wait on: don't spin
    }
    if (has_data && ReceiveState.load() == kPlaying) ReceivePacket(m_socket);
    else ResetPlayback();
    if (!m_connected && ReceiveState.load() == kPlaying) {
      m_socket = OpenMulticastStream();
      if (m_socket == plat::kInvalidSocket) {
        ++m_stats.multicast_open_failures;
        ResetPlayback();
      } else {
        ++m_stats.multicast_opens;
        m_connected = true;
      }
    }
    if (ReceiveState.load() == kStopped && m_socket != plat::kInvalidSocket) {
      CloseSocket(true);
      m_connected = false;
      ResetPlayback();
    }
    const std::int32_t state = ReceiveState.load();
    if (state == kReloadRequested) {
      CloseSocket(false);
      m_connected = false;
      ResetPlayback();
      return;
    }
    if (state == kQuitting) {
      CloseSocket(true);
      *quit = true;
      return;
    }
  }
}

}  // namespace zubr
