// Util_Timer: measures one hold of a Util_Mutex and reports, as a DETAIL record (location 6,
// "period=" <ms> " key=" <key>), every period longer than 10000 ms. Used only by its owner,
// under the owner's lock. Time comes from the injected clock (Util_GetTick by default).
#pragma once

#include <string>

#include "passthrough/util/Util_Clock.h"
#include "passthrough/util/Util_Log.h"

class Util_Timer {
 public:
  static constexpr int kPeriodLimitMs = 10000;

  explicit Util_Timer(Util_Clock& clock = Util_SystemClock());
  virtual ~Util_Timer();
  Util_Timer(const Util_Timer&) = delete;
  Util_Timer& operator=(const Util_Timer&) = delete;

  // Names the handle ("Util_Timer", label) and sets its level; always true, no effect twice.
  bool create(const std::string& label, int level);
  // Begins a period (creating the timer with "" and level 5 if needed); false while one runs,
  // which keeps the first start and key.
  bool start(int key);
  // Ends the period and returns its length in ms (wrap-safe); 0 when never created. Stopping
  // again measures again from the same start, with key -1.
  int stop();
  void destroy();

  bool running() const { return _running; }
  int key() const { return _key; }

 private:
  Util_Log _log;
  Util_Clock& _clock;
  bool _created = false;
  int _periodLimit = kPeriodLimitMs;
  int _startTick = 0;
  bool _running = false;
  int _key = -1;
};
