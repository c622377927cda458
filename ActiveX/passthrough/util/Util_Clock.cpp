#include "passthrough/util/Util_Clock.h"

#include "platform/thread.h"

int Util_TickClock::now() {
  const std::uint32_t t = _source();
  if (!_based) {
    _base = kFirstTick - t;
    _based = true;
  }
  return static_cast<int>(t + _base);
}

namespace {

class SystemClock final : public Util_Clock {
 public:
  int now() override { return Util_GetTick(); }
};

}  // namespace

int Util_GetTick() {
  const std::uint32_t t = plat::TickMs();
  // Fixed once, thread-safely, from the reading of the call that fixes it, so that call
  // returns exactly -120001; later calls only add.
  static const std::uint32_t base = Util_TickClock::kFirstTick - t;
  return static_cast<int>(t + base);
}

Util_Clock& Util_SystemClock() {
  static SystemClock* clock = new SystemClock;  // never freed: threads may read it at exit
  return *clock;
}
