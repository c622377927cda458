#include "Oru_cam/CommandBytes.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace orucam {

std::uint8_t TokenByte(std::string_view token) {
  // strtoll stops where strtol would; only the saturation differs, because long has 32 bits
  // on Windows and 64 here.
  const std::string text(token);
  const long long value = std::strtoll(text.c_str(), nullptr, 16);
  const long long clamped = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : value;
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(clamped) & 0xFFu);
}

std::vector<std::uint8_t> CommandBytes(std::string_view command) {
  if (const std::size_t nul = command.find('\0'); nul != std::string_view::npos) {
    command = command.substr(0, nul);
  }
  std::vector<std::uint8_t> bytes;
  for (;;) {
    const std::size_t colon = command.find(':');
    bytes.push_back(TokenByte(command.substr(0, colon)));
    if (colon == std::string_view::npos) return bytes;
    command.remove_prefix(colon + 1);
  }
}

}  // namespace orucam
