// Collects the records the utilities write, for the Net_ tests: registers for DETAIL and ERROR
// and opens the center's threshold while it lives, restoring both at its end.
#pragma once

#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "passthrough/util/Util_Log.h"
#include "passthrough/util/Util_LogCenter.h"

namespace net_test {

struct Record {
  std::string level;
  std::string className;
  int where = 0;
  std::string text1;
  bool hasValue1 = false;
  int value1 = 0;
  std::string text2;
};

class LogCapture : public Util_LogListener {
 public:
  static constexpr int kKey = 4711;

  LogCapture() {
    Util_LogCenter* center = Util_LogCenter::instance();
    _threshold = center->threshold();
    center->setThreshold(LOG_ALL);
    center->addListener(LOG_ERROR, kKey, this);
    center->addListener(LOG_DETAIL, kKey, this);
  }
  ~LogCapture() override {
    Util_LogCenter* center = Util_LogCenter::instance();
    center->removeListener(LOG_ERROR, kKey);
    center->removeListener(LOG_DETAIL, kKey);
    center->setThreshold(_threshold);
  }

  void report(const std::time_t*, const char* levelWord, const char* className, const char*,
              int, int where, const Util_LogPair* pairs) override {
    Record r;
    r.level = levelWord ? levelWord : "";
    r.className = className ? className : "";
    r.where = where;
    r.text1 = pairs[0].text ? pairs[0].text : "";
    r.hasValue1 = pairs[0].value != nullptr;
    r.value1 = pairs[0].value ? *pairs[0].value : 0;
    r.text2 = pairs[1].text ? pairs[1].text : "";
    std::lock_guard<std::mutex> lock(_mu);
    _records.push_back(r);
  }

  std::vector<Record> records(const std::string& className) const {
    std::lock_guard<std::mutex> lock(_mu);
    std::vector<Record> out;
    for (const Record& r : _records) {
      if (r.className == className) out.push_back(r);
    }
    return out;
  }
  // The ERROR records of className, as "where:text1" lines.
  std::vector<std::string> errors(const std::string& className) const {
    std::vector<std::string> out;
    for (const Record& r : records(className)) {
      if (r.level == "ERROR") out.push_back(std::to_string(r.where) + ":" + r.text1);
    }
    return out;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(_mu);
    _records.clear();
  }

 private:
  mutable std::mutex _mu;
  std::vector<Record> _records;
  int _threshold = 3;
};

}  // namespace net_test
