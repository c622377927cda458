// The controls the native host can create, by ProgID.
#pragma once

#include <memory>
#include <string>

#include "automation/members.h"
#include "platform/sound.h"

namespace axhost {

// A control as the host sees it: its scripting surface and its window's life.
class HostedControl {
 public:
  virtual ~HostedControl() = default;
  virtual automation::Dispatchable& Dispatch() = 0;
  virtual void CreateWindow(plat::WindowHandle window) = 0;
  virtual void DestroyWindow() = 0;
  // One line of what the control's worker did, for the demo (empty if nothing to say).
  virtual std::string Summary() const = 0;
};

// Null for an unknown ProgID.
std::unique_ptr<HostedControl> CreateControl(const std::string& progid);

}  // namespace axhost
