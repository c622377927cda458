// Helpers shared by the Util_ tests: a recording listener attached for the test's lifetime,
// and a simulated clock.
#pragma once

#include <string>
#include <vector>

#include "passthrough/util/Util_Clock.h"
#include "passthrough/util/Util_LogCenter.h"
#include "passthrough/util/Util_LogWriter.h"
#include "platform/sync.h"

struct RecordedLog {
  std::string word;
  std::string className;
  std::string label;
  int instanceId;
  int where;
  std::string texts;  // each text directly followed by its value, as the line writer lays them
};

// Registers itself for every level at the center under its own key and, while alive, opens the
// threshold to `threshold`; restores both at the end.
class RecordingListener final : public Util_LogListener {
 public:
  explicit RecordingListener(int threshold = Util_LogCenter::kDefaultThreshold, int key = 7001)
      : _key(key) {
    Util_LogCenter* center = Util_LogCenter::instance();
    _savedThreshold = center->threshold();
    center->setThreshold(threshold);
    for (int level = 0; level < Util_LogCenter::kLevels; ++level) center->addListener(level, key, this);
  }
  ~RecordingListener() override {
    Util_LogCenter* center = Util_LogCenter::instance();
    for (int level = 0; level < Util_LogCenter::kLevels; ++level) center->removeListener(level, _key);
    center->setThreshold(_savedThreshold);
  }

  void report(const std::time_t*, const char* levelWord, const char* className,
              const char* instanceLabel, int instanceId, int where,
              const Util_LogPair* pairs) override {
    // The line's text part: everything after "at=WHERE:" with its leading blank.
    const std::string line = Util_FormatLogLine(0, "", "", "", 0, 0, pairs);
    const std::string::size_type colon = line.find("at=0:");
    std::string texts = line.substr(colon + 5);
    if (!texts.empty() && texts[0] == ' ') texts.erase(0, 1);
    plat::LockGuard hold(_mutex);
    _records.push_back({levelWord, className, instanceLabel, instanceId, where, texts});
  }

  std::vector<RecordedLog> records() {
    plat::LockGuard hold(_mutex);
    return _records;
  }
  void clear() {
    plat::LockGuard hold(_mutex);
    _records.clear();
  }

 private:
  int _key;
  int _savedThreshold = Util_LogCenter::kDefaultThreshold;
  plat::RecursiveMutex _mutex;
  std::vector<RecordedLog> _records;
};

class FakeClock final : public Util_Clock {
 public:
  explicit FakeClock(int start = 0) : _now(start) {}
  int now() override { return _now; }
  void advance(int ms) {
    _now = static_cast<int>(static_cast<unsigned>(_now) + static_cast<unsigned>(ms));
  }

 private:
  int _now;
};
