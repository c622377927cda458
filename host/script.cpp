#include "host/script.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace axhost {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

bool SplitLine(const std::string& line, std::vector<Word>* words, std::string* error) {
  words->clear();
  std::size_t i = 0;
  while (i < line.size()) {
    if (Blank(line[i])) {
      ++i;
      continue;
    }
    Word w;
    if (line[i] != '"') {
      while (i < line.size() && !Blank(line[i])) w.text += line[i++];
      words->push_back(std::move(w));
      continue;
    }
    w.quoted = true;
    ++i;
    bool closed = false;
    while (i < line.size()) {
      const char c = line[i++];
      if (c == '"') {
        closed = true;
        break;
      }
      if (c != '\\') {
        w.text += c;
        continue;
      }
      if (i >= line.size()) break;
      const char e = line[i++];
      switch (e) {
        case '"': w.text += '"'; break;
        case '\\': w.text += '\\'; break;
        case 'n': w.text += '\n'; break;
        case 'r': w.text += '\r'; break;
        case 't': w.text += '\t'; break;
        case 'x': {
          const int hi = i < line.size() ? HexDigit(line[i]) : -1;
          const int lo = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
          if (hi < 0 || lo < 0) {
            *error = "bad \\x escape";
            return false;
          }
          w.text += static_cast<char>(hi * 16 + lo);
          i += 2;
          break;
        }
        default:
          *error = std::string("unknown escape \\") + e;
          return false;
      }
    }
    if (!closed) {
      *error = "unterminated string";
      return false;
    }
    words->push_back(std::move(w));
  }
  return true;
}

bool ParseNumber(const std::string& text, std::int64_t* out) {
  if (text.empty()) return false;
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-') {
    negative = true;
    i = 1;
  }
  std::int64_t v = 0;
  if (text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    i += 2;
    for (; i < text.size(); ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0 || v > (INT64_MAX >> 4)) return false;
      v = v * 16 + d;
    }
  } else {
    if (i >= text.size()) return false;
    for (; i < text.size(); ++i) {
      if (text[i] < '0' || text[i] > '9' || v > (INT64_MAX - 9) / 10) return false;
      v = v * 10 + (text[i] - '0');
    }
  }
  *out = negative ? -v : v;
  return true;
}

std::string EscapeBody(const std::string& s) {
  std::string out;
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += ch;
        }
    }
  }
  return out;
}

namespace {

constexpr automation::HResult kDispE_Overflow = static_cast<automation::HResult>(0x8002000Au);

// The range of each numeric type, as VariantChangeType checks it.
bool Fits(automation::Type t, std::int64_t n) {
  switch (t) {
    case automation::Type::kUI1: return n >= 0 && n <= UINT8_MAX;
    case automation::Type::kI2: return n >= INT16_MIN && n <= INT16_MAX;
    case automation::Type::kI4: return n >= INT32_MIN && n <= INT32_MAX;
    case automation::Type::kUI4: return n >= 0 && n <= UINT32_MAX;
    default: return false;
  }
}

}  // namespace

std::string FormatValue(const automation::Value& v) {
  switch (v.type) {
    case automation::Type::kBool: return v.number ? "true" : "false";
    case automation::Type::kText: return Quote(v.text);
    case automation::Type::kVoid: return "S_OK";
    default: return std::to_string(v.number);
  }
}

automation::HResult CoerceWord(const Word& w, automation::Type t, automation::Value* out) {
  std::int64_t n = 0;
  switch (t) {
    case automation::Type::kText:
      *out = automation::Value::Text(w.text);
      return automation::kS_OK;
    case automation::Type::kBool:
      if (!w.quoted && (w.text == "true" || w.text == "false")) {
        *out = automation::Value::Bool(w.text == "true");
        return automation::kS_OK;
      }
      if (!ParseNumber(w.text, &n)) return automation::kDispE_TypeMismatch;
      *out = automation::Value::Bool(n != 0);
      return automation::kS_OK;
    case automation::Type::kUI1:
    case automation::Type::kI2:
    case automation::Type::kI4:
    case automation::Type::kUI4: {
      if (!ParseNumber(w.text, &n)) return automation::kDispE_TypeMismatch;
      if (!Fits(t, n)) return kDispE_Overflow;
      *out = automation::Value::Number(t, n);
      return automation::kS_OK;
    }
    case automation::Type::kVoid:
      break;
  }
  return automation::kDispE_TypeMismatch;
}

}  // namespace axhost
