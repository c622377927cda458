// Util_LogCenter: the process's record dispatcher. It drops records whose kind constant is
// above its threshold (3 unless someone asks otherwise: FATAL and WARNING pass), stamps the
// rest with the time (seconds since 1970) and hands each to the listeners registered for its
// kind, in ascending key order. One record is dispatched at a time, under the center's own
// lock (waited for up to 60 s; a record that cannot have it is dropped). Listeners are called
// with that lock held, on the thread that wrote the record; a listener may write records
// itself (the lock is re-entrant).
//
// The center is created once per process, thread-safely, on first use, and lives until the
// process ends, so no control's destruction can pull it from under another control or thread.
// release() is kept for the control to call at its destruction and frees nothing.
#pragma once

#include <ctime>
#include <map>

#include "platform/sync.h"

// One text of a record and its value; a null text is empty, a null value means none.
struct Util_LogPair {
  const char* text = nullptr;
  const int* value = nullptr;
};
inline constexpr int kUtilLogPairs = 4;

class Util_LogListener {
 public:
  virtual ~Util_LogListener() = default;
  // pairs holds kUtilLogPairs entries. Called with the center's lock held.
  virtual void report(const std::time_t* stamp, const char* levelWord, const char* className,
                      const char* instanceLabel, int instanceId, int where,
                      const Util_LogPair* pairs) = 0;
};

class Util_LogCenter {
 public:
  static constexpr int kLevels = 11;  // listener maps for kind constants 0 ... 10
  static constexpr int kDefaultThreshold = 3;
  static constexpr std::uint32_t kWaitLimitMs = 60000;

  static Util_LogCenter* instance();
  static void release();

  // Dispatches one record; pairs holds kUtilLogPairs entries.
  void log(int levelConstant, const char* levelWord, const char* className,
           const char* instanceLabel, int instanceId, int where, const Util_LogPair* pairs);

  // Registers listener for records of kind level under key (replacing the one there);
  // false for a level outside 0 ... 10. The listener must outlive its registration.
  bool addListener(int level, int key, Util_LogListener* listener);
  // true when a listener was registered there.
  bool removeListener(int level, int key);
  // Records whose kind constant is above threshold are dropped.
  void setThreshold(int threshold);
  int threshold();

  virtual ~Util_LogCenter();
  Util_LogCenter(const Util_LogCenter&) = delete;
  Util_LogCenter& operator=(const Util_LogCenter&) = delete;

 private:
  Util_LogCenter();

  plat::RecursiveMutex _mutex;
  std::uint32_t _waitLimitMs = kWaitLimitMs;
  int _threshold = kDefaultThreshold;
  std::map<int, Util_LogListener*> _listeners[kLevels];
  std::time_t _stamp = 0;
};
