// A TCP client on 127.0.0.1 for the emulator's tests: every read has a time limit, so a wrong
// device fails a test instead of hanging it. Used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace devsim_test {

struct ReadResult {
  std::string data;
  bool eof = false;        // the device closed (FIN)
  int error = 0;           // errno of a failed recv (ECONNRESET for a reset)
  bool timed_out = false;  // the limit passed first
};

class Client {
 public:
  explicit Client(std::uint16_t port);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  bool Send(std::string_view bytes);
  // One recv of what is there, waiting up to timeout_ms for the first byte.
  ReadResult ReadSome(int timeout_ms, std::size_t max = 65536);
  // Reads until n bytes, the end, an error or the limit.
  ReadResult ReadExactly(std::size_t n, int timeout_ms);
  // Reads until the end, an error, max bytes or the limit.
  ReadResult ReadToEnd(int timeout_ms, std::size_t max = 1 << 20);
  void ShutdownSending();
  void Close();

 private:
  ReadResult Read(std::size_t n, int timeout_ms, bool stop_at_n);
  int fd_ = -1;
};

// The standard request of the receive control.
inline constexpr std::string_view kAudioRequest =
    "GET /api/audio?lowdelay=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Keep-Alive\r\n\r\n";

std::size_t FindMarker(std::string_view bytes, std::size_t from = 0);  // npos if absent

}  // namespace devsim_test
