// Util_Log: the log handle every utility object holds by value. It tags records with the
// owner's class name, an instance label and a process-wide instance ID (0, 1000, 2000, ... in
// construction order, never reused), and drops records whose kind is above its level before
// anything else is done. Records that pass go to the process's Util_LogCenter.
//
// A handle has no lock: it belongs to one object and is named and levelled while that object
// is set up; the record calls may then come from any thread.
//
// Record calls take a location code (which operation wrote it) and up to four pairs of a text
// and a pointer to an int value; a null text is an empty text, a null value means "no value".
// Each text is written so that its value follows it: error(2, "timeout prev key=", &owner,
// " key=", &key).
#pragma once

#include <string>

#include "passthrough/util/Util_Clock.h"

// Kinds of record and handle levels. A record of a kind passes a handle when the handle's
// level >= the kind's constant; ERROR is deliberately above DETAIL, so the default level 5
// lets every kind through and the center's threshold 3 then keeps FATAL and WARNING only.
inline constexpr int LOG_FATAL = 1;
inline constexpr int LOG_WARNING = 3;
inline constexpr int LOG_DETAIL = 4;
inline constexpr int LOG_ERROR = 5;
inline constexpr int LOG_ALL = 10;  // handle level only: passes every kind

class Util_Log {
 public:
  Util_Log();  // takes the next instance ID
  virtual ~Util_Log();
  Util_Log(const Util_Log&) = delete;
  Util_Log& operator=(const Util_Log&) = delete;

  // Stores both names; with announce, writes DETAIL, location 0, "instance ID=" <id>.
  void setName(const std::string& className, const std::string& instanceLabel,
               bool announce = false);
  // A negative level stores LOG_ERROR.
  void setLevel(int level);

  int level() const { return _level; }
  int instanceId() const { return _instanceId; }
  const std::string& className() const { return _className; }
  const std::string& instanceLabel() const { return _instanceLabel; }

  void error(int where, const char* text1 = nullptr, const int* value1 = nullptr,
             const char* text2 = nullptr, const int* value2 = nullptr,
             const char* text3 = nullptr, const int* value3 = nullptr,
             const char* text4 = nullptr, const int* value4 = nullptr) const;
  void detail(int where, const char* text1 = nullptr, const int* value1 = nullptr,
              const char* text2 = nullptr, const int* value2 = nullptr,
              const char* text3 = nullptr, const int* value3 = nullptr,
              const char* text4 = nullptr, const int* value4 = nullptr) const;
  void warning(int where, const char* text1 = nullptr, const int* value1 = nullptr,
               const char* text2 = nullptr, const int* value2 = nullptr,
               const char* text3 = nullptr, const int* value3 = nullptr,
               const char* text4 = nullptr, const int* value4 = nullptr) const;
  void fatal(int where, const char* text1 = nullptr, const int* value1 = nullptr,
             const char* text2 = nullptr, const int* value2 = nullptr,
             const char* text3 = nullptr, const int* value3 = nullptr,
             const char* text4 = nullptr, const int* value4 = nullptr) const;
  // Marks a routine step; writes nothing and costs nothing.
  void trace(int /*where*/, const char* = nullptr, const int* = nullptr,
             const char* = nullptr, const int* = nullptr, const char* = nullptr,
             const int* = nullptr, const char* = nullptr, const int* = nullptr) const {}

 private:
  void write(int kind, const char* word, int where, const char* text1, const int* value1,
             const char* text2, const int* value2, const char* text3, const int* value3,
             const char* text4, const int* value4) const;

  std::string _className;
  std::string _instanceLabel;
  int _level = LOG_ERROR;
  int _instanceId;
};
