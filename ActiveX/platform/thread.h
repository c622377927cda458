// Threads, the millisecond clock and sleep.
#pragma once

#include <cstdint>

namespace plat {

using ThreadProc = unsigned (*)(void* arg);

class Thread {
 public:
  Thread();
  ~Thread();  // a thread still running is detached
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Start(ThreadProc proc, void* arg);
  // Waits for the end; true when it ended within timeout_ms. Releases the handle then.
  bool Join(std::uint32_t timeout_ms);
  bool Started() const;
  std::uint32_t Id() const;

  struct Impl;

 private:
  Impl* impl_;
};

std::uint32_t CurrentThreadId();

// Milliseconds since the system started (GetTickCount / CLOCK_MONOTONIC), wrapping at 2^32.
std::uint32_t TickMs();
void SleepMs(std::uint32_t ms);

}  // namespace plat
