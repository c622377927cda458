#include "passthrough/util/Util_Log.h"

#include <atomic>

#include "passthrough/util/Util_LogCenter.h"

namespace {
// Counts every handle constructed in the process; never reset or decremented.
std::atomic<int> g_handlesConstructed{0};
constexpr int kInstanceIdStep = 1000;
}  // namespace

Util_Log::Util_Log() : _instanceId(g_handlesConstructed.fetch_add(1) * kInstanceIdStep) {}

Util_Log::~Util_Log() = default;

void Util_Log::setName(const std::string& className, const std::string& instanceLabel,
                       bool announce) {
  _className = className;
  _instanceLabel = instanceLabel;
  if (announce) detail(0, "instance ID=", &_instanceId);
}

void Util_Log::setLevel(int level) { _level = level < 0 ? LOG_ERROR : level; }

void Util_Log::error(int where, const char* text1, const int* value1, const char* text2,
                     const int* value2, const char* text3, const int* value3, const char* text4,
                     const int* value4) const {
  if (_level >= LOG_ERROR)
    write(LOG_ERROR, "ERROR", where, text1, value1, text2, value2, text3, value3, text4, value4);
}

void Util_Log::detail(int where, const char* text1, const int* value1, const char* text2,
                      const int* value2, const char* text3, const int* value3, const char* text4,
                      const int* value4) const {
  if (_level >= LOG_DETAIL)
    write(LOG_DETAIL, "DETAIL", where, text1, value1, text2, value2, text3, value3, text4, value4);
}

void Util_Log::warning(int where, const char* text1, const int* value1, const char* text2,
                       const int* value2, const char* text3, const int* value3, const char* text4,
                       const int* value4) const {
  if (_level >= LOG_WARNING)
    write(LOG_WARNING, "WARNING", where, text1, value1, text2, value2, text3, value3, text4,
          value4);
}

void Util_Log::fatal(int where, const char* text1, const int* value1, const char* text2,
                     const int* value2, const char* text3, const int* value3, const char* text4,
                     const int* value4) const {
  if (_level >= LOG_FATAL)
    write(LOG_FATAL, "FATAL", where, text1, value1, text2, value2, text3, value3, text4, value4);
}

void Util_Log::write(int kind, const char* word, int where, const char* text1, const int* value1,
                     const char* text2, const int* value2, const char* text3, const int* value3,
                     const char* text4, const int* value4) const {
  const Util_LogPair pairs[kUtilLogPairs] = {
      {text1, value1}, {text2, value2}, {text3, value3}, {text4, value4}};
  Util_LogCenter::instance()->log(kind, word, _className.c_str(), _instanceLabel.c_str(),
                                  _instanceId, where, pairs);
}
