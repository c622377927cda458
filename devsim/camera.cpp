#include "devsim/camera.h"

#include <algorithm>
#include <charconv>

namespace devsim {
namespace {

using Kind = CameraAnswer::Kind;

struct Name {
  std::string_view text;
  Kind kind;
};

constexpr Name kNames[] = {
    {"reply", Kind::kReply}, {"silent", Kind::kSilent}, {"close", Kind::kClose},
    {"close-after-first", Kind::kCloseAfterFirst}, {"reset", Kind::kReset},
};

constexpr int kMaxDelayMs = 600000;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<CameraAnswer> Fail(std::string_view text, const std::string& why, std::string* error) {
  if (error) *error = "camera answer '" + std::string(text) + "': " + why;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseHexBytes(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size();) {
    if (i > 0 && text[i] == ':' && i + 1 < text.size()) ++i;  // one colon between bytes
    const int high = i + 1 < text.size() ? HexDigit(text[i]) : -1;
    const int low = high < 0 ? -1 : HexDigit(text[i + 1]);
    if (low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (bytes.empty() || bytes.size() > kMaxCameraReplyBytes) return std::nullopt;
  return bytes;
}

std::string HexText(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::optional<CameraAnswer> ParseCameraAnswer(std::string_view text, const CameraAnswer& defaults,
                                              std::string* error) {
  const std::size_t at = text.find('@');
  const std::string_view head = text.substr(0, at);
  const std::size_t colon = head.find(':');
  const std::string_view word = head.substr(0, colon);
  for (const Name& name : kNames) {
    if (word != name.text) continue;
    CameraAnswer answer;
    answer.kind = name.kind;
    if (name.kind != Kind::kReply) {
      if (head.size() != text.size() || colon != std::string_view::npos)
        return Fail(text, "takes no bytes or delay", error);
      return answer;
    }
    answer.reply = defaults.reply;
    answer.delay_ms = defaults.delay_ms;
    if (colon != std::string_view::npos) {
      const std::optional<std::string> bytes = ParseHexBytes(head.substr(colon + 1));
      if (!bytes) return Fail(text, "reply bytes must be 1 to 64 hex pairs (90, 9041, 90:41)", error);
      answer.reply = *bytes;
    }
    if (at != std::string_view::npos) {
      const std::string_view digits = text.substr(at + 1);
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), answer.delay_ms);
      if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || answer.delay_ms < 0 ||
          answer.delay_ms > kMaxDelayMs)
        return Fail(text, "the delay must be 0 to 600000 ms", error);
    }
    return answer;
  }
  return Fail(text, "unknown (reply[:HEX][@MS] silent close close-after-first reset)", error);
}

std::string CameraAnswerName(const CameraAnswer& answer) {
  for (const Name& name : kNames) {
    if (name.kind != answer.kind) continue;
    std::string text(name.text);
    if (answer.kind != Kind::kReply) return text;
    std::string hex = HexText(answer.reply);
    std::replace(hex.begin(), hex.end(), ' ', ':');
    text += ":" + hex;
    if (answer.delay_ms > 0) text += "@" + std::to_string(answer.delay_ms);
    return text;
  }
  return "?";
}

}  // namespace devsim
