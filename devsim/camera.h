// The camera command port's choices: how it answers each connection (in order of
// acceptance), the bytes it replies with, and a start with connects refused. Plain data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

// How long a control waits for a command's reply; a reply delayed past this answers late.
inline constexpr int kCameraReplyWaitMs = 3000;
inline constexpr std::size_t kMaxCameraReplyBytes = 64;

struct CameraAnswer {
  enum class Kind {
    kReply,            // "reply[:HEX][@MS]": for every chunk read, the reply bytes MS ms later
    kSilent,           // "silent": read and record everything, never answer
    kClose,            // "close": graceful close at once on accept, reading nothing
    kCloseAfterFirst,  // "close-after-first": graceful close after reading the first chunk
    kReset,            // "reset": reset (RST) after reading the first chunk
  };
  Kind kind = Kind::kReply;
  std::string reply = "\x90";  // the bytes of a kReply answer
  int delay_ms = 0;            // a kReply answer's delay; 0 answers at once

  friend bool operator==(const CameraAnswer&, const CameraAnswer&) = default;
};

struct CameraOptions {
  std::uint16_t port = 0;          // 0: the system picks one; see Device::camera_port()
  std::vector<CameraAnswer> plan;  // connection 1 gets plan[0], connection 2 plan[1], ...
  CameraAnswer default_answer;     // for the connections after those
  int refuse_ms = 0;               // refuse connects for this long after start, same port

  friend bool operator==(const CameraOptions&, const CameraOptions&) = default;
};

// Reads an answer: "reply", "reply:90", "reply:90:41", "reply@4000", "reply:9041@4000",
// "silent", "close", "close-after-first", "reset". A reply without bytes or a delay of its own
// takes those of `defaults`. Nothing on error, with *error saying why.
std::optional<CameraAnswer> ParseCameraAnswer(std::string_view text, const CameraAnswer& defaults,
                                              std::string* error);
// The text ParseCameraAnswer reads back: "reply:90:41@4000", "silent", ...
std::string CameraAnswerName(const CameraAnswer& answer);

// "90", "9041" or "90:41" (either case) as bytes, at most kMaxCameraReplyBytes; nothing if
// empty or not pairs of hex digits.
std::optional<std::string> ParseHexBytes(std::string_view text);
// Bytes for the event lines: "81 01 04 00 02 FF".
std::string HexText(std::string_view bytes);

}  // namespace devsim
