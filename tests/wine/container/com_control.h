// A registered control hosted the way a page's container hosts it: created by ProgID, loaded
// from the page parameters through IPersistPropertyBag, activated in place in a window of the
// container's own, scripted through the type library's description of its interface, its events
// received through its default source interface.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ocidl.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/controls.h"
#include "ole_container.h"

namespace container {

class EventSink;

class ComControl final : public axhost::HostedControl, public automation::Dispatchable {
 public:
  // Null (with *error set) when the ProgID is unknown or the control cannot be created.
  static std::unique_ptr<ComControl> Create(const std::string& progid, std::string* error);
  ~ComControl() override;

  automation::Dispatchable& Dispatch() override { return *this; }
  void Load(const axhost::Params& params) override;
  axhost::Saved Save() override;
  void CreateControlWindow() override;
  void DestroyControlWindow() override;
  std::string Summary() const override { return {}; }

  std::span<const automation::Member> Members() const override { return members_; }
  automation::HResult Invoke(std::int32_t dispid, automation::Access access, const automation::Value* args,
                             automation::Value* result) override;

 private:
  ComControl() = default;
  struct Described;
  bool Describe(std::string* error);
  void Add(const Described& d, const std::string& name, const std::vector<std::string>& param_names);
  void ConnectEvents();
  automation::HResult InvokeByDispatch(const Described& d, const automation::Value* args, automation::Value* result);
  automation::HResult InvokeByVtable(const Described& d, const automation::Value* args, automation::Value* result);

  IUnknown* unknown_ = nullptr;
  IOleObject* ole_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  ITypeInfo* vtable_info_ = nullptr;  // the default interface's description
  IUnknown* vtable_ = nullptr;        // a dual interface itself; null for a dispinterface
  std::unique_ptr<comtest::ContainerWindow> frame_;  // the control's parent
  std::unique_ptr<comtest::Site> site_;
  EventSink* sink_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  bool active_ = false;

  static constexpr short kNoVtable = -1;  // reached through IDispatch::Invoke
  struct Described {
    std::int32_t dispid;
    automation::Access access;
    short vtable_offset;
    std::vector<automation::Type> in;  // [in] parameters
    automation::Type out;              // the [out, retval] one, or kVoid
  };
  std::vector<Described> calls_;
  std::vector<automation::Member> members_;
  std::deque<std::string> names_;
  std::deque<std::vector<automation::Param>> params_;
};

// The ProgID's control, or null with the reason on stderr.
std::unique_ptr<axhost::HostedControl> CreateComControl(const std::string& progid);

// UTF-16 <-> UTF-8, for what the container prints of window texts and event names.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

}  // namespace container
