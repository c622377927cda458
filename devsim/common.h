// Shared by the device's parts: its clock and its event log.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace devsim {

using Clock = std::chrono::steady_clock;
// One event, without a line end. Called from the device's threads, one call at a time.
using Log = std::function<void(const std::string& line)>;

}  // namespace devsim
