// The camera command text as the bytes sent for it: one byte per ":"-separated token, in order,
// so N colons give N + 1 bytes ("" gives one 0x00, "1:2:" gives 01 02 00). A token converts as
// strtol does in base 16 with a 32-bit long: leading white space, a sign and a "0x" are taken,
// digits run to the first other character, no digits give 0, and a value out of range becomes
// LONG_MAX or LONG_MIN; its low 8 bits are the byte. The text ends at its first NUL, as the
// C string the page's text becomes on Windows does. Any length is converted whole.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace orucam {

std::uint8_t TokenByte(std::string_view token);
std::vector<std::uint8_t> CommandBytes(std::string_view command);

}  // namespace orucam
