// CReceiveAudio: the audio receive control, portable part.
//
// Methods and property accessors run on the container's thread. Play starts one worker thread
// (ReceiveWorker) that connects to the device's audio stream, reconnects on its own after every
// loss, and ends on Reload or when the control's window is destroyed. The worker reads the
// settings through a consistent snapshot (Settings) taken at each connection attempt.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ZubAudioR/CarryBuffer.h"
#include "ZubAudioR/Playout.h"
#include "automation/members.h"
#include "platform/net.h"
#include "platform/sound.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace zubr {

using automation::HResult;

enum ReceiveStateValue : std::int32_t {
  kIdle = 0,
  kPlaying = 1,
  kStopped = 2,
  kQuitting = 3,
  kReloadRequested = 4,
};

inline constexpr std::size_t kReadBufferBytes = 1048;

// Counters of what the worker did; read by tests and the demo, written by the worker only.
struct ReceiveStats {
  std::atomic<std::uint32_t> tcp_opens{0};         // OpenTcpStream calls that returned a socket
  std::atomic<std::uint32_t> tcp_open_failures{0};
  std::atomic<std::uint32_t> connects{0};          // connect notifications without error
  std::atomic<std::uint32_t> connect_failures{0};  // connect notifications with an error
  std::atomic<std::uint32_t> requests_sent{0};
  std::atomic<std::uint32_t> stalls{0};            // 5 s without a notification
  std::atomic<std::uint32_t> peer_closes{0};
  std::atomic<std::uint32_t> reads{0};             // reads that returned 0 or more bytes
  std::atomic<std::uint32_t> http_reads{0};        // reads dropped for carrying "HTTP"
  std::atomic<std::uint32_t> packets{0};           // complete packets cut from the stream
  std::atomic<std::uint32_t> packets_played{0};    // packets decoded and written to the ring
  std::atomic<std::uint32_t> packets_discarded{0}; // by the guards and the delay correction
  std::atomic<std::uint32_t> delay_ms{0};          // the playback delay measured at the last packet
  std::atomic<std::uint64_t> bytes_read{0};
  std::atomic<std::uint32_t> read_errors{0};
  std::atomic<std::uint32_t> playback_resets{0};
  std::atomic<std::uint32_t> multicast_opens{0};
  std::atomic<std::uint32_t> multicast_open_failures{0};
  std::atomic<std::uint32_t> multicast_joins{0};
  std::atomic<std::uint32_t> worker_starts{0};
  std::atomic<std::uint32_t> worker_ends{0};
};

class CReceiveAudio : public automation::Control {
 public:
  CReceiveAudio();
  ~CReceiveAudio() override;
  CReceiveAudio(const CReceiveAudio&) = delete;
  CReceiveAudio& operator=(const CReceiveAudio&) = delete;

  // Properties. Every put returns S_OK, also when the value is ignored.
  HResult get_IP(std::string* out);
  HResult put_IP(const std::string& ip);
  HResult get_Port(std::int32_t* out);
  HResult put_Port(std::int32_t port);
  HResult get_Volume(std::int32_t* out);
  HResult put_Volume(std::int32_t volume);
  HResult get_DelayTime(std::int32_t* out);
  HResult put_DelayTime(std::int32_t ms);
  HResult get_StreamType(std::int32_t* out);
  HResult put_StreamType(std::int32_t type);
  HResult put_Password(const std::string& ignored);
  HResult get_PeakValue(std::uint8_t* out);
  HResult put_PeakValue(std::uint8_t value);
  HResult get_Language(std::int32_t* out);
  HResult put_Language(std::int32_t language);

  // Methods.
  HResult Play();  // S_FALSE when the sound device cannot be opened
  HResult Stop();
  HResult Reload();
  HResult SetPassword(const std::string& password, std::uint8_t flag);

  // The control's window, created and destroyed by in-place (de)activation.
  void OnCreateWindow(plat::WindowHandle window) override;
  void OnDestroyWindow() override;
  plat::WindowHandle Window() const { return m_window; }

  std::span<const automation::Member> Members() const override;
  std::string Summary() const override;

  std::int32_t State() const { return ReceiveState.load(); }
  // The playback state; for tests, once the worker has ended or from the worker's thread.
  const Playout& PlayoutState() const { return m_playout; }
  const ReceiveStats& Stats() const { return m_stats; }
  const std::string& Credentials() const { return m_credentials; }
  bool CredentialsEncoded() const { return m_credentialsEncoded; }

  // What one connection attempt uses, copied together under the settings lock.
  struct Settings {
    std::string ip;
    std::int32_t port;
    std::int32_t stream_type;
  };
  Settings TakeSettings();

 private:
  static unsigned ReceiveWorker(void* self);
  void RunWorker();
  void TcpLoop(bool* quit);
  void MulticastLoop(bool* quit);
  plat::Socket OpenTcpStream();
  bool SendAudioRequest(plat::Socket s);
  plat::Socket OpenMulticastStream();
  void CloseSocket(bool shutdown_first);
  void ReceivePacket(plat::Socket s);

  bool InitSound();
  void ResetPlayback();
  void ReleaseSound();

  // Settings shared with the worker.
  plat::RecursiveMutex m_settingsLock;  // guards m_ip and keeps IP and Port consistent
  std::string m_ip = "192.168.0.2";
  std::atomic<std::int32_t> m_port{80};
  std::atomic<std::int32_t> m_volume{100};
  std::atomic<std::int32_t> m_delayTime{300};
  std::atomic<std::int32_t> m_streamType{0};
  std::atomic<std::uint8_t> m_peakValue{255};
  std::atomic<std::int32_t> m_language{0};
  std::string m_credentials;
  bool m_credentialsEncoded = false;
  std::int32_t m_diagnosticLevel = 0;

  std::atomic<std::int32_t> ReceiveState{kIdle};
  plat::WindowHandle m_window = nullptr;
  std::unique_ptr<plat::Thread> m_worker;
  std::unique_ptr<plat::Event> QuitEvent;

  // Worker-owned stream state.
  plat::Socket m_socket = plat::kInvalidSocket;
  bool m_connected = false;
  std::unique_ptr<plat::Event> NetEvent;
  bool m_netStarted = false;
  std::uint8_t m_readBuffer[kReadBufferBytes] = {};
  zubr::CarryBuffer CarryBuffer;
  std::uint8_t m_packet[524] = {};
  std::int16_t m_block[Playout::kBlockBytes / 2] = {};

  // Sound objects: created by Play (InitSound), released by the worker at its end.
  std::unique_ptr<plat::SoundOutput> m_soundDevice;
  std::unique_ptr<plat::SoundRing> m_soundBuffer;
  class TickClock final : public MsClock {
   public:
    std::uint32_t NowMs() override { return plat::TickMs(); }
  } m_clock;
  Playout m_playout{m_clock};

  ReceiveStats m_stats;
};

}  // namespace zubr
