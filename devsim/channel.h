// One accepted TCP connection, seen from the device. Owns the socket (non-blocking) and closes
// it in one of the ways the faults need. Every wait also watches the device's stop descriptor
// (readable once the device stops) and the peer, so a stop or a peer's close ends any wait
// promptly. Used by the connection's own thread only.
#pragma once

#include <cstddef>
#include <string>

#include "devsim/common.h"

namespace devsim {

enum class IoResult { kOk, kPeerClosed, kStopped, kError };

// How a service wants its connection to end.
enum class Ending { kGraceful, kReset, kPeerClosed, kStopped };
// For the close lines: "by device", "reset", "by peer", "at stop".
const char* EndingText(Ending ending);
// A failed wait or send as the connection's end.
Ending EndingOf(IoResult result);

class Channel {
 public:
  Channel(int fd, int stop_fd) : fd_(fd), stop_fd_(stop_fd) {}
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Reads one request: up to and including the empty line (CR LF CR LF), or what came before
  // the peer closed its sending side, or before idle_ms passed with nothing new once bytes had
  // come, or max_bytes. Bytes after the empty line stay unread. kPeerClosed if nothing came.
  IoResult ReadRequest(std::string* raw, int idle_ms, std::size_t max_bytes);
  // Waits until the deadline for bytes and takes what one recv gives (up to max_bytes) into
  // *chunk; kOk with *chunk empty at the deadline.
  IoResult ReadSome(std::string* chunk, Clock::time_point deadline, std::size_t max_bytes);
  // Sends every byte, in a single send call when the socket takes them.
  IoResult Send(const void* data, std::size_t n);
  // Waits until the deadline (Clock::time_point::max(): for ever), discarding whatever the
  // peer sends; kOk at the deadline.
  IoResult WaitUntil(Clock::time_point deadline);

  // Sends FIN, then discards input until the peer closes, drain_ms pass or the device stops,
  // and closes: the peer sees a clean end of stream, not a reset for unread bytes.
  void CloseGracefully(int drain_ms);
  // Closes with SO_LINGER {1, 0}: the peer gets RST.
  void CloseWithReset();

  bool peer_closed() const { return peer_closed_; }

 private:
  // Polls for `events` with the stop descriptor; returns the socket's revents (0: timeout).
  IoResult Poll(short events, int timeout_ms, short* revents);
  // Reads and drops what the peer sent; notes its close.
  IoResult Discard();
  void Close();

  int fd_;
  int stop_fd_;
  bool peer_closed_ = false;
  bool peer_done_sending_ = false;  // it half-closed after its request; only HUP/ERR end it now
};

}  // namespace devsim
