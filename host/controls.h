// A control as a host script drives it, and the controls the native host can create by ProgID.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "automation/members.h"
#include "host/script.h"

namespace axhost {

// A page parameter as the script gave it: the word is coerced to the property's type on loading.
using Params = std::vector<std::pair<std::string, Word>>;
using Saved = std::vector<std::pair<std::string, automation::Value>>;

// One hosted control: its scripting surface, its persistence and its window's life. The native
// host implements it over the portable control, the Windows test container over COM.
class HostedControl {
 public:
  virtual ~HostedControl() = default;
  virtual automation::Dispatchable& Dispatch() = 0;
  // Initialises the control from the page parameters (none: initialised new).
  virtual void Load(const Params& params) = 0;
  // The persisted properties in persistence order.
  virtual Saved Save() = 0;
  virtual void CreateControlWindow() = 0;
  virtual void DestroyControlWindow() = 0;
  // One line of what the control's worker did, for the demo (empty if nothing to say).
  virtual std::string Summary() const = 0;
};

using ControlFactory = std::unique_ptr<HostedControl> (*)(const std::string& progid);

// The native host's controls; null for an unknown ProgID.
std::unique_ptr<HostedControl> CreateControl(const std::string& progid);

}  // namespace axhost
