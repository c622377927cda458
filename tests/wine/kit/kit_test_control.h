// The kit's test control, portable like the real ones: what the kit tests reach through the
// dispinterface DKitTest. Its methods and properties run on the container's thread;
// FireFromThread fires from a thread of its own and returns once that thread has fired.
#pragma once

#include <cstdint>
#include <string>

#include "automation/members.h"

namespace kittest {

using automation::HResult;

enum Dispid : std::int32_t { kLevel = 1, kFlag = 2, kCount = 3, kDescribe = 4, kFireHere = 5, kFireFromThread = 6 };
enum EventDispid : std::int32_t { kEndInit = 1, kTicked = 2 };

class KitTestControl : public automation::Control {
 public:
  HResult get_Level(std::int16_t* out) { *out = level_; return automation::kS_OK; }
  HResult put_Level(std::int16_t v) { level_ = v; return automation::kS_OK; }
  HResult get_Flag(bool* out) { *out = flag_; return automation::kS_OK; }
  HResult put_Flag(bool v) { flag_ = v; return automation::kS_OK; }
  HResult get_Count(std::uint32_t* out) { *out = count_; return automation::kS_OK; }
  HResult put_Count(std::uint32_t v) { count_ = v; return automation::kS_OK; }
  // "<prefix><n>"; S_FALSE for an empty prefix, E_INVALIDARG for n above 100.
  HResult Describe(std::int16_t n, const std::string& prefix, std::string* out);
  // Ticked(n), from the calling thread or from a thread of the control's.
  HResult FireHere(std::int16_t n);
  HResult FireFromThread(std::int16_t n);

  // EndInit, as the window appears.
  void OnCreateWindow(WindowHandle window) override;
  std::span<const automation::Member> Members() const override;
  std::span<const automation::EventMember> Events() const override;

 private:
  std::int16_t level_ = 7;
  bool flag_ = false;
  std::uint32_t count_ = 0;
};

}  // namespace kittest
