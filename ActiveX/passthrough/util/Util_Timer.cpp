#include "passthrough/util/Util_Timer.h"

Util_Timer::Util_Timer(Util_Clock& clock) : _clock(clock) {}

Util_Timer::~Util_Timer() { destroy(); }

bool Util_Timer::create(const std::string& label, int level) {
  if (_created) return true;
  _log.setName("Util_Timer", label);
  _log.setLevel(level);
  _created = true;
  return true;
}

bool Util_Timer::start(int key) {
  if (!_created) create("", LOG_ERROR);
  if (_running) return false;
  _running = true;
  _startTick = _clock.now();
  _key = key;
  return true;
}

int Util_Timer::stop() {
  if (!_created) return 0;
  _running = false;
  int elapsed = static_cast<int>(Util_TickDiff(_clock.now(), _startTick));
  if (elapsed > _periodLimit) _log.detail(6, "period=", &elapsed, " key=", &_key);
  _key = -1;
  return elapsed;
}

void Util_Timer::destroy() {
  _running = false;
  _created = false;
}
