#include "host/controls.h"

#include "Oru_cam/CamCtl.h"
#include "ZubAudioR/ReceiveAudio.h"
#include "host/host.h"

namespace axhost {

namespace {

// A portable control hosted natively: its window is a token whose address stands for the
// handle, and its events print as they fire (from any thread).
class Hosted final : public HostedControl, private automation::EventSink {
 public:
  explicit Hosted(std::unique_ptr<automation::Control> control) : control_(std::move(control)) {
    control_->SetEventSink(this);
  }
  ~Hosted() override {
    control_->SetEventSink(nullptr);
  }

  automation::Dispatchable& Dispatch() override { return *control_; }

  // As a property bag loads: each persisted property present is put; a value of the wrong type
  // leaves that property at its default.
  void Load(const Params& params) override {
    const auto members = control_->Members();
    for (const automation::Member* found : automation::PersistedMembers(members)) {
      for (const auto& [name, word] : params) {
        if (automation::FindMember(members, name) != found) continue;
        automation::Value v;
        if (CoerceWord(word, found->type, &v) == automation::kS_OK)
          control_->Invoke(found->dispid, automation::Access::kPut, &v, nullptr);
      }
    }
  }

  Saved Save() override {
    Saved saved;
    for (const automation::Member* found : automation::PersistedMembers(control_->Members())) {
      automation::Value v;
      if (control_->Invoke(found->dispid, automation::Access::kGet, nullptr, &v) == automation::kS_OK)
        saved.emplace_back(found->name, v);
    }
    return saved;
  }

  void CreateControlWindow() override { control_->OnCreateWindow(&window_token_); }
  void DestroyControlWindow() override { control_->OnDestroyWindow(); }
  std::string Summary() const override { return control_->Summary(); }

 private:
  void Fire(std::int32_t dispid, std::span<const automation::Value>) override {
    const automation::EventMember* e = automation::FindEvent(control_->Events(), dispid);
    PrintLine("event " + (e != nullptr ? std::string(e->name) : std::to_string(dispid)));
  }

  std::unique_ptr<automation::Control> control_;
  int window_token_ = 0;
};

struct ControlClass {
  const char* progid;
  const char* version_independent_progid;
  std::unique_ptr<automation::Control> (*make)();
};

template <class C> std::unique_ptr<automation::Control> Make() { return std::make_unique<C>(); }

// One row per control the native host can create.
const ControlClass kClasses[] = {
    {"Zu_R_Audio.ReceiveAudio.1", "Zu_R_Audio.ReceiveAudio", &Make<zubr::CReceiveAudio>},
    {"Oru_cam.CamCtl.1", "Oru_cam.CamCtl", &Make<orucam::CCamCtl>},
};

}  // namespace

std::unique_ptr<HostedControl> CreateControl(const std::string& progid) {
  for (const ControlClass& c : kClasses)
    if (progid == c.progid || progid == c.version_independent_progid) return std::make_unique<Hosted>(c.make());
  return nullptr;
}

}  // namespace axhost
