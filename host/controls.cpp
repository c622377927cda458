#include "host/controls.h"

#include <cstdio>

#include "ZubAudioR/ReceiveAudio.h"

namespace axhost {

namespace {

std::string Describe(const zubr::CReceiveAudio& c) {
  const zubr::ReceiveStats& s = c.Stats();
  char line[512];
  std::snprintf(line, sizeof line,
                "workers %u, connections %u (failed %u), requests %u, reads %u (%llu bytes, %u errors), "
                "peer closes %u, stalls %u, playback resets %u, multicast joins %u, "
                "packets played %u (discarded %u), delay %u ms",
                s.worker_starts.load(), s.connects.load(), s.connect_failures.load() + s.tcp_open_failures.load(),
                s.requests_sent.load(), s.reads.load(), static_cast<unsigned long long>(s.bytes_read.load()),
                s.read_errors.load(), s.peer_closes.load(), s.stalls.load(), s.playback_resets.load(),
                s.multicast_joins.load(), s.packets_played.load(), s.packets_discarded.load(), s.delay_ms.load());
  return line;
}

template <class Control>
class Hosted final : public HostedControl {
 public:
  automation::Dispatchable& Dispatch() override { return control_; }
  void CreateWindow(plat::WindowHandle window) override { control_.OnCreateWindow(window); }
  void DestroyWindow() override { control_.OnDestroyWindow(); }
  std::string Summary() const override { return Describe(control_); }

 private:
  Control control_;
};

}  // namespace

std::unique_ptr<HostedControl> CreateControl(const std::string& progid) {
  if (progid == "Zu_R_Audio.ReceiveAudio.1" || progid == "Zu_R_Audio.ReceiveAudio")
    return std::make_unique<Hosted<zubr::CReceiveAudio>>();
  return nullptr;
}

}  // namespace axhost
