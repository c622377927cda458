// The host script language: one command a line, blank-separated words, quoted strings with
// \" \\ \n \r \t \xHH escapes, decimal (minus allowed) or 0x hex numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "automation/members.h"

namespace axhost {

struct Word {
  bool quoted = false;
  std::string text;  // unescaped for strings, as written otherwise
};

// Splits one line; false with *error set on a malformed string.
bool SplitLine(const std::string& line, std::vector<Word>* words, std::string* error);

// A bare word as a number: decimal with an optional minus, or 0x hex.
bool ParseNumber(const std::string& text, std::int64_t* out);

// The word as a value of type t, as a dispatch coercion would make it: numbers for the integer
// types (DISP_E_OVERFLOW when out of range), true/false or a number for booleans, any word as text.
automation::HResult CoerceWord(const Word& w, automation::Type t, automation::Value* out);

// How a host prints a value: decimal numbers, true/false, quoted strings; S_OK for none.
std::string FormatValue(const automation::Value& v);

// Quotes s as the host prints strings: only ", \ and control bytes (below 0x20, 0x7F) escaped.
std::string EscapeBody(const std::string& s);
inline std::string Quote(const std::string& s) { return "\"" + EscapeBody(s) + "\""; }

}  // namespace axhost
