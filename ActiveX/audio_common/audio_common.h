// Routines both audio controls share: network start-up, the device-missing message, base64.
#pragma once

#include <cstddef>
#include <cstdint>

namespace audio {

// Asks the network library for version 2.2. True only when exactly 2.2 was granted; *started
// tells whether a release (NetCleanup) is owed, which is also the case for a wrong version.
bool StartWinsock(bool* started);

// The message for a PC whose sound device cannot be opened: Japanese for language 0, English
// for every other value. UTF-8.
const char* DeviceMissingText(std::int32_t language);
inline constexpr const char* kErrorCaption = "Error";
// Shows it in a modal box with no owner; returns once it is dismissed.
void ShowDeviceMissing(std::int32_t language);

// Standard base64 with "=" fill and no line breaks. out must hold 4 * ceil(n / 3) + 1 bytes for
// an input of n bytes; it is zero-terminated. Returns out.
char* EncodeBase64(const char* in, char* out);
inline std::size_t Base64Size(std::size_t n) { return 4 * ((n + 2) / 3) + 1; }

}  // namespace audio
