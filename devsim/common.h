// Shared by the device's parts: its clock, deadlines and its event log.
#pragma once

#include <chrono>
#include <climits>
#include <functional>
#include <string>

namespace devsim {

using Clock = std::chrono::steady_clock;
// One event, without a line end. Called from the device's threads, one call at a time.
using Log = std::function<void(const std::string& line)>;

// A poll timeout for a deadline: -1 for Clock::time_point::max() (no deadline), 0 once it has
// passed, else rounded up, so a wait never ends just before its deadline and spins.
inline int MsUntil(Clock::time_point deadline) {
  if (deadline == Clock::time_point::max()) return -1;
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

}  // namespace devsim
