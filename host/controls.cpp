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

  // As a property bag loads: each persisted property present is put; a value of the wrong type
  // leaves that property at its default.
  void Load(const Params& params) override {
    const auto members = control_.Members();
    for (const automation::Member* found : automation::PersistedMembers(members)) {
      for (const auto& [name, word] : params) {
        if (automation::FindMember(members, name) != found) continue;
        automation::Value v;
        if (CoerceWord(word, found->type, &v) == automation::kS_OK)
          control_.Invoke(found->dispid, automation::Access::kPut, &v, nullptr);
      }
    }
  }

  Saved Save() override {
    Saved saved;
    for (const automation::Member* found : automation::PersistedMembers(control_.Members())) {
      automation::Value v;
      if (control_.Invoke(found->dispid, automation::Access::kGet, nullptr, &v) == automation::kS_OK)
        saved.emplace_back(found->name, v);
    }
    return saved;
  }

  void CreateControlWindow() override { control_.OnCreateWindow(&window_token_); }
  void DestroyControlWindow() override { control_.OnDestroyWindow(); }
  std::string Summary() const override { return Describe(control_); }

 private:
  Control control_;
  int window_token_ = 0;  // its address stands for the window handle
};

}  // namespace

std::unique_ptr<HostedControl> CreateControl(const std::string& progid) {
  if (progid == "Zu_R_Audio.ReceiveAudio.1" || progid == "Zu_R_Audio.ReceiveAudio")
    return std::make_unique<Hosted<zubr::CReceiveAudio>>();
  return nullptr;
}

}  // namespace axhost
