// Util_Mutex: the lock that serialises one passthrough control's work. lock(key) waits up to
// 20 s and returns true when the caller holds the lock (possibly nested: re-entrant on its
// owner thread, each lock needing its own unlock), false when the wait did not end owned; the
// caller must then not unlock. unlock(key) always returns true and must follow a successful
// lock on the same thread. The key names the code path taking the lock; the bookkeeping (depth,
// key and start of the outermost hold) is diagnostic and written only while the lock is owned:
// ERROR records for waits that fail, nesting deeper than 5 and an outermost unlock with
// another key; the embedded Util_Timer reports holds over 10 s.
//
// A holder thread that ends holding the lock abandons it: the next lock reports that as a
// failed wait (ERROR "timeout prev key=" naming the dead holder's key, false), clears the dead
// holder's bookkeeping and gives the lock back, so the following lock finds it free.
//
// Time comes from the injected clock, the waiting from the injected lock (the platform's
// re-entrant lock with a wait limit unless a test supplies another).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "passthrough/util/Util_Clock.h"
#include "passthrough/util/Util_Log.h"
#include "passthrough/util/Util_Timer.h"

// The re-entrant lock Util_Mutex waits on.
class Util_LockPrimitive {
 public:
  enum Result { kOwned, kAbandoned, kTimeout, kFailed };
  virtual ~Util_LockPrimitive() = default;
  virtual Result lock(std::uint32_t timeoutMs) = 0;
  virtual void unlock() = 0;
};

// Makes the lock at create(); a null result is a creation failure.
using Util_LockFactory = std::function<std::unique_ptr<Util_LockPrimitive>()>;
std::unique_ptr<Util_LockPrimitive> Util_MakePlatformLock();

class Util_Mutex {
 public:
  static constexpr int kWaitTimeoutMs = 20000;
  static constexpr int kQuietDepth = 5;  // nesting up to this depth writes no record

  Util_Mutex();
  Util_Mutex(Util_Clock& clock, Util_LockFactory makeLock);
  virtual ~Util_Mutex();
  Util_Mutex(const Util_Mutex&) = delete;
  Util_Mutex& operator=(const Util_Mutex&) = delete;

  // Names the handle ("Util_Mutex", label), sets its level, makes the lock and the timer.
  // True at once when already created; false (FATAL "CreateMutex") when the lock cannot be made.
  bool create(const std::string& label, int level);
  bool lock(int key);
  bool unlock(int key);
  void destroy();

  // Bookkeeping, for diagnosis; meaningful only to the thread holding the lock.
  int ownerKey() const { return _ownerKey.load(std::memory_order_relaxed); }
  int lockCount() const { return _lockCount; }

 private:
  Util_Log _log;
  Util_Clock& _clock;
  Util_LockFactory _makeLock;
  bool _created = false;
  std::unique_ptr<Util_LockPrimitive> _mutexHdl;
  Util_Timer _timer;
  int _waitTimeout = kWaitTimeoutMs;
  // Read without the lock by a waiter whose wait failed, to name the holder.
  std::atomic<int> _ownerKey{-1};
  int _lockCount = 0;
  int _lockStart = 0;
};
