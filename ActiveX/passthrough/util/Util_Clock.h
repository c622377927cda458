// The passthrough control's millisecond clock. Util_GetTick() starts at -120001 on its first
// call in the process, counts milliseconds and wraps at 32 bits: take every difference of two
// readings unsigned, static_cast<std::uint32_t>(later - earlier) (or Util_TickDiff), never a
// signed comparison. The base is fixed once per process, thread-safely, and never freed.
#pragma once

#include <cstdint>

int Util_GetTick();

// Milliseconds from earlier to later, correct across 0 and across the 32-bit wrap.
inline std::uint32_t Util_TickDiff(int later, int earlier) {
  return static_cast<std::uint32_t>(later) - static_cast<std::uint32_t>(earlier);
}

// The clock arithmetic over any millisecond source, so the wrap can be driven in tests:
// the first now() reads the source t0 and fixes base = -120001 - t0 (mod 2^32); every call
// returns source + base. Not thread-safe by itself; Util_GetTick guards its own instance.
class Util_TickClock {
 public:
  static constexpr std::uint32_t kFirstTick = static_cast<std::uint32_t>(-120001);
  explicit Util_TickClock(std::uint32_t (*source)()) : _source(source) {}
  int now();

 private:
  std::uint32_t (*_source)();
  bool _based = false;
  std::uint32_t _base = 0;
};

// A clock the timing logic reads, so tests can run it in simulated time.
class Util_Clock {
 public:
  virtual ~Util_Clock() = default;
  virtual int now() = 0;  // Util_GetTick() units
};

// Util_GetTick() behind the Util_Clock interface; one per process, never freed.
Util_Clock& Util_SystemClock();
