#include "passthrough/util/Util_LogWriter.h"

#include <chrono>

#include "passthrough/util/Util_Log.h"

namespace {

void AppendEscaped(std::string& out, const char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
}

void AppendQuoted(std::string& out, const char* text) {
  out += '"';
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    if (*p == '"' || *p == '\\') {
      out += '\\';
      out += *p;
    } else {
      const char one[2] = {*p, '\0'};
      AppendEscaped(out, one);
    }
  }
  out += '"';
}

std::string UtcText(std::time_t stamp) {
  using namespace std::chrono;
  const sys_seconds at{seconds{static_cast<long long>(stamp)}};
  const sys_days day = floor<days>(at);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{at - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

}  // namespace

std::string Util_FormatLogLine(std::time_t stamp, const char* levelWord, const char* className,
                               const char* instanceLabel, int instanceId, int where,
                               const Util_LogPair* pairs) {
  std::string line = UtcText(stamp);
  line += ' ';
  line += levelWord != nullptr ? levelWord : "";
  line += ' ';
  if (className == nullptr || *className == '\0') line += '-';
  else AppendEscaped(line, className);
  line += ' ';
  AppendQuoted(line, instanceLabel);
  line += " id=" + std::to_string(instanceId) + " at=" + std::to_string(where) + ":";
  bool first = true;
  for (int i = 0; i < kUtilLogPairs; ++i) {
    const Util_LogPair& pair = pairs[i];
    const bool hasText = pair.text != nullptr && *pair.text != '\0';
    if (!hasText && pair.value == nullptr) continue;
    if (first) line += ' ';
    first = false;
    AppendEscaped(line, pair.text);
    if (pair.value != nullptr) line += std::to_string(*pair.value);
  }
  return line;
}

Util_LogWriter::~Util_LogWriter() {
  if (_ownsFile) std::fclose(_file);
}

bool Util_LogWriter::open(const std::string& path) {
  if (_ownsFile) std::fclose(_file);
  _ownsFile = false;
  _file = nullptr;
  if (path == "-") {
    _file = stderr;
    return true;
  }
  _file = std::fopen(path.c_str(), "w");
  _ownsFile = _file != nullptr;
  return _ownsFile;
}

void Util_LogWriter::attachToAllLevels(Util_LogCenter* center, int key) {
  for (int level = 0; level < Util_LogCenter::kLevels; ++level) center->addListener(level, key, this);
  center->setThreshold(LOG_ALL);
}

void Util_LogWriter::report(const std::time_t* stamp, const char* levelWord, const char* className,
                            const char* instanceLabel, int instanceId, int where,
                            const Util_LogPair* pairs) {
  if (_file == nullptr) return;
  const std::string line = Util_FormatLogLine(stamp != nullptr ? *stamp : 0, levelWord, className,
                                              instanceLabel, instanceId, where, pairs);
  std::fprintf(_file, "%s\n", line.c_str());
  std::fflush(_file);
}
