#include "devsim/faults.h"

#include <charconv>

namespace devsim {
namespace {

struct Name {
  std::string_view text;
  Fault::Kind kind;
  bool has_number;
};

constexpr Name kNames[] = {
    {"none", Fault::Kind::kNone, false},           {"close", Fault::Kind::kClose, false},
    {"close-after", Fault::Kind::kCloseAfter, true}, {"stall", Fault::Kind::kStall, false},
    {"split", Fault::Kind::kSplit, true},           {"garbage", Fault::Kind::kGarbage, true},
    {"reset-after", Fault::Kind::kResetAfter, true}, {"noise", Fault::Kind::kNoise, false},
};

constexpr std::uint32_t kMarker = 0x00000080u;
constexpr std::uint32_t kHttp = 0x48545450u;  // "HTTP"

}  // namespace

std::optional<Fault> ParseFault(std::string_view text, std::string* error) {
  const std::size_t colon = text.find(':');
  const std::string_view word = text.substr(0, colon);
  for (const Name& name : kNames) {
    if (word != name.text) continue;
    Fault fault{name.kind, 0};
    if (!name.has_number) {
      if (colon == std::string_view::npos) return fault;
      break;
    }
    if (colon == std::string_view::npos) {
      if (error) *error = "fault '" + std::string(text) + "' needs a number (" + std::string(word) + ":N)";
      return std::nullopt;
    }
    const std::string_view digits = text.substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), fault.n);
    if (ec == std::errc() && end == digits.data() + digits.size() && !digits.empty()) return fault;
    break;
  }
  if (error) *error = "unknown fault '" + std::string(text) + "'";
  return std::nullopt;
}

std::string FaultName(const Fault& fault) {
  for (const Name& name : kNames) {
    if (name.kind != fault.kind) continue;
    std::string text(name.text);
    if (name.has_number) text += ":" + std::to_string(fault.n);
    return text;
  }
  return "?";
}

std::uint8_t PatternGuard::Pass(std::uint8_t b) {
  // Both patterns end in a byte the other does not, so flipping that last byte breaks either.
  std::uint32_t next = last_ << 8 | b;
  if (next == kMarker || next == kHttp) {
    b ^= 0x01;
    next = last_ << 8 | b;
  }
  last_ = next;
  return b;
}

void NoiseGenerator::Fill(std::uint8_t* out, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = guard_.Pass(static_cast<std::uint8_t>(random_()));
}

}  // namespace devsim
