// Misbehaviour on demand. A Fault is chosen for each accepted connection in order of
// acceptance; it is plain data, read by the connection's thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace devsim {

struct Fault {
  enum class Kind {
    kNone,        // serve normally
    kClose,       // "close": end the connection at once, reading and sending nothing
    kCloseAfter,  // "close-after:N": graceful close after the response header and N packets
    kStall,       // "stall": read the request, then send nothing and hold the connection
    kSplit,       // "split:K": header and the first K bytes of the first packet in one write
    kGarbage,     // "garbage:G": G random bytes (no packet marker) between header and packets
    kResetAfter,  // "reset-after:N": after the header and N packets, reset (RST) the connection
    kNoise,       // "noise": after the header, random bytes forever, no marker, no "HTTP"
  };
  Kind kind = Kind::kNone;
  std::size_t n = 0;  // N, K or G

  friend bool operator==(const Fault&, const Fault&) = default;
};

// Parses "none", "close", "close-after:N", "stall", "split:K", "garbage:G", "reset-after:N",
// "noise". Nothing on error, with *error saying why.
std::optional<Fault> ParseFault(std::string_view text, std::string* error);
// The text ParseFault reads back.
std::string FaultName(const Fault& fault);

// Lets bytes through, changing only a byte that would complete the packet marker (00 00 00 80)
// or the text "HTTP", so neither ever occurs in what it passes, across any split into writes.
class PatternGuard {
 public:
  std::uint8_t Pass(std::uint8_t candidate);

 private:
  std::uint32_t last_ = 0xFFFFFFFFu;  // the last four bytes passed, oldest in the top; none yet
};

// Random bytes behind a PatternGuard, so a receiver can never lock on to them.
class NoiseGenerator {
 public:
  explicit NoiseGenerator(std::uint32_t seed) : random_(seed) {}
  void Fill(std::uint8_t* out, std::size_t n);

 private:
  std::mt19937 random_;
  PatternGuard guard_;
};

}  // namespace devsim
