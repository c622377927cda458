// Util_LogWriter: a listener that writes each record as one line to a file or to standard
// error, flushed at once. Used by `axhost --log FILE`; the delivered controls register none.
//
// Line format (fields separated by one blank):
//   TIME LEVEL CLASS "LABEL" id=ID at=WHERE: TEXTS
// TIME is the record's stamp in UTC, 2024-05-01T12:34:56Z; LEVEL the level word (FATAL,
// WARNING, DETAIL, ERROR); CLASS the handle's class name, "-" while unnamed; LABEL the instance
// label, quoted, with '"', '\' and control bytes escaped (\" \\ \n \r \t \xHH); ID the
// instance ID; WHERE the location code; TEXTS each record text directly followed by its value
// in decimal, in order, empty pairs left out, control bytes escaped as in LABEL. Example:
//   2024-05-01T12:34:56Z ERROR Util_Mutex "" id=3000 at=2: timeout prev key=0 key=0
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "passthrough/util/Util_LogCenter.h"

// The one-line text of a record, without the line end.
std::string Util_FormatLogLine(std::time_t stamp, const char* levelWord, const char* className,
                               const char* instanceLabel, int instanceId, int where,
                               const Util_LogPair* pairs);

class Util_LogWriter final : public Util_LogListener {
 public:
  Util_LogWriter() = default;
  ~Util_LogWriter() override;
  Util_LogWriter(const Util_LogWriter&) = delete;
  Util_LogWriter& operator=(const Util_LogWriter&) = delete;

  // path "-" writes to standard error; any other path is created or truncated.
  // False when the file cannot be opened.
  bool open(const std::string& path);
  // Registers this writer under key for every level 0 ... 10 of the center, and opens the
  // center's threshold to every level. The writer must then live as long as the process.
  void attachToAllLevels(Util_LogCenter* center, int key);

  void report(const std::time_t* stamp, const char* levelWord, const char* className,
              const char* instanceLabel, int instanceId, int where,
              const Util_LogPair* pairs) override;

 private:
  std::FILE* _file = nullptr;
  bool _ownsFile = false;
};
