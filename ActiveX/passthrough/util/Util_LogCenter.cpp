#include "passthrough/util/Util_LogCenter.h"

Util_LogCenter::Util_LogCenter() = default;
Util_LogCenter::~Util_LogCenter() = default;

Util_LogCenter* Util_LogCenter::instance() {
  // Created once, thread-safely; never freed, so a record written by one control's worker
  // while another control is destroyed always finds it.
  static Util_LogCenter* center = new Util_LogCenter;
  return center;
}

void Util_LogCenter::release() {
  // Nothing to free: the center outlives every control (see instance()).
}

void Util_LogCenter::log(int levelConstant, const char* levelWord, const char* className,
                         const char* instanceLabel, int instanceId, int where,
                         const Util_LogPair* pairs) {
  const plat::RecursiveMutex::Result got = _mutex.Lock(_waitLimitMs);
  // An abandoned lock is owned all the same; only a wait that did not end owned drops the record.
  if (got != plat::RecursiveMutex::kAcquired && got != plat::RecursiveMutex::kAbandoned) return;
  if (levelConstant <= _threshold && levelConstant >= 0 && levelConstant < kLevels) {
    _stamp = std::time(nullptr);
    for (const auto& [key, listener] : _listeners[levelConstant]) {
      if (listener != nullptr)
        listener->report(&_stamp, levelWord, className, instanceLabel, instanceId, where, pairs);
    }
  }
  _mutex.Unlock();
}

bool Util_LogCenter::addListener(int level, int key, Util_LogListener* listener) {
  if (level < 0 || level >= kLevels) return false;
  plat::LockGuard hold(_mutex);
  _listeners[level][key] = listener;
  return true;
}

bool Util_LogCenter::removeListener(int level, int key) {
  if (level < 0 || level >= kLevels) return false;
  plat::LockGuard hold(_mutex);
  return _listeners[level].erase(key) > 0;
}

void Util_LogCenter::setThreshold(int threshold) {
  plat::LockGuard hold(_mutex);
  _threshold = threshold;
}

int Util_LogCenter::threshold() {
  plat::LockGuard hold(_mutex);
  return _threshold;
}
