// What a Listener runs: one kind of device service (the HTTP API, the camera command port),
// for every connection its listener accepts. A service owns its stats and its event lines.
#pragma once

#include <string>

namespace devsim {

class Service {
 public:
  virtual ~Service() = default;

  // The listening socket opened at `address` ("127.0.0.1:PORT"), at start or on a reopen.
  virtual void Listening(const std::string& address) = 0;
  // The listening socket is closed, so connects are refused; `why` is empty when that was
  // asked for, else the error that kept it from reopening.
  virtual void Refusing(const std::string& why) = 0;
  // On the accepting thread, in order of acceptance: connection `number` (1, 2, ...) from
  // `peer` ("127.0.0.1:54321"), before its thread starts, so its lines come first.
  virtual void Accepted(int number, const std::string& peer) = 0;
  // On the connection's own thread: serves the non-blocking socket fd and closes it.
  virtual void Serve(int fd, int number) = 0;
};

}  // namespace devsim
