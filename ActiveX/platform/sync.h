// Events, waits on several events, and a re-entrant lock with a wait limit: the Win32 objects'
// semantics on every backend. Objects may be used from any thread.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr std::uint32_t kWaitTimeout = 0x102;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

class Event {
 public:
  // manual_reset: stays set until Reset; otherwise one released wait clears it.
  Event(bool manual_reset, bool initially_set);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  bool Valid() const;
  void Set();
  void Reset();

  struct Impl;
  Impl* impl() const { return impl_; }

 private:
  Impl* impl_;
};

// Waits until one of the events is set (or, for an event bound by EventSelect, a notification
// of its socket is pending). Returns the lowest such index, kWaitTimeout or kWaitFailed.
// A released auto-reset event is cleared. count is 1 ... 64.
std::uint32_t WaitForEvents(Event* const* events, unsigned count, std::uint32_t timeout_ms);
inline std::uint32_t WaitForEvent(Event* event, std::uint32_t timeout_ms) {
  return WaitForEvents(&event, 1, timeout_ms);
}

// Re-entrant on its owner thread. A thread that ends while holding it abandons it; the next
// Lock then succeeds with kAbandoned.
class RecursiveMutex {
 public:
  enum Result { kAcquired, kAbandoned, kTimeout, kFailed };
  RecursiveMutex();
  ~RecursiveMutex();
  RecursiveMutex(const RecursiveMutex&) = delete;
  RecursiveMutex& operator=(const RecursiveMutex&) = delete;

  Result Lock(std::uint32_t timeout_ms = kInfinite);
  void Unlock();

  struct Impl;

 private:
  Impl* impl_;
};

// Scoped, unbounded hold of a RecursiveMutex.
class LockGuard {
 public:
  explicit LockGuard(RecursiveMutex& m) : m_(m) { m_.Lock(); }
  ~LockGuard() { m_.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  RecursiveMutex& m_;
};

}  // namespace plat
