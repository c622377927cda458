#include "passthrough/util/Util_Mutex.h"

#include "platform/sync.h"

namespace {

class PlatformLock final : public Util_LockPrimitive {
 public:
  Result lock(std::uint32_t timeoutMs) override {
    switch (_mutex.Lock(timeoutMs)) {
      case plat::RecursiveMutex::kAcquired: return kOwned;
      case plat::RecursiveMutex::kAbandoned: return kAbandoned;
      case plat::RecursiveMutex::kTimeout: return kTimeout;
      default: return kFailed;
    }
  }
  void unlock() override { _mutex.Unlock(); }

 private:
  plat::RecursiveMutex _mutex;
};

constexpr int kSlowMs = 3000;  // waits and holds longer than this are traced

}  // namespace

std::unique_ptr<Util_LockPrimitive> Util_MakePlatformLock() {
  return std::make_unique<PlatformLock>();
}

Util_Mutex::Util_Mutex() : Util_Mutex(Util_SystemClock(), Util_MakePlatformLock) {}

Util_Mutex::Util_Mutex(Util_Clock& clock, Util_LockFactory makeLock)
    : _clock(clock), _makeLock(std::move(makeLock)), _timer(clock) {}

Util_Mutex::~Util_Mutex() { destroy(); }

bool Util_Mutex::create(const std::string& label, int level) {
  if (_created) return true;
  _log.setName("Util_Mutex", label);
  _log.setLevel(level);
  _mutexHdl = _makeLock ? _makeLock() : nullptr;
  if (!_mutexHdl) {
    _log.fatal(1, "CreateMutex");
    return false;
  }
  _timer.create(label, level);
  _created = true;
  return true;
}

bool Util_Mutex::lock(int key) {
  const int t0 = _clock.now();
  // No lock (never created or creation failed) is a wait that fails at once.
  const Util_LockPrimitive::Result got =
      _mutexHdl ? _mutexHdl->lock(static_cast<std::uint32_t>(_waitTimeout))
                : Util_LockPrimitive::kFailed;
  if (got != Util_LockPrimitive::kOwned) {
    int prevKey = _ownerKey.load(std::memory_order_relaxed);
    _log.error(2, "timeout prev key=", &prevKey, " key=", &key);
    if (got == Util_LockPrimitive::kAbandoned) {
      // We own it now, with a dead holder's bookkeeping: clear that and hand the lock back,
      // so a failed lock never leaves the caller holding it.
      _timer.stop();
      _ownerKey = -1;
      _lockCount = 0;
      _mutexHdl->unlock();
    }
    return false;
  }
  ++_lockCount;
  int prevKey = _ownerKey.load(std::memory_order_relaxed);
  if (_lockCount == 1) {
    _ownerKey = key;
    _lockStart = _clock.now();
  } else if (_lockCount > kQuietDepth) {
    _log.error(2, "double lock count=", &_lockCount, " prev key=", &prevKey, " key=", &key);
  } else {
    _log.trace(2, "double lock count=", &_lockCount, " prev key=", &prevKey, " key=", &key);
  }
  int waited = static_cast<int>(Util_TickDiff(_clock.now(), t0));
  if (waited > kSlowMs) _log.trace(2, "lock wait time=", &waited, " key=", &key);
  _timer.start(key);  // a nested lock leaves the running period alone
  return true;
}

bool Util_Mutex::unlock(int key) {
  _timer.stop();
  int prevKey = _ownerKey.load(std::memory_order_relaxed);
  if (_lockCount == 1) {
    if (prevKey != key) _log.error(3, "unlock key unmach prev key=", &prevKey, " key=", &key);
    _ownerKey = -1;
    int held = static_cast<int>(Util_TickDiff(_clock.now(), _lockStart));
    if (held > kSlowMs) _log.trace(3, "lock period=", &held, " key=", &key);
  } else if (_lockCount > kQuietDepth) {
    _log.error(3, "unlock count=", &_lockCount, " prev key=", &prevKey, " key=", &key);
  } else {
    _log.trace(3, "unlock count=", &_lockCount, " prev key=", &prevKey, " key=", &key);
  }
  --_lockCount;
  if (_mutexHdl) _mutexHdl->unlock();
  return true;
}

void Util_Mutex::destroy() {
  _mutexHdl.reset();
  _created = false;
}
