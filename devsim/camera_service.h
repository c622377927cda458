// The camera command port as a service. A control keeps one connection and sends a command
// now and then; the camera reads each chunk, records it and answers as the connection's
// CameraAnswer says. Event lines (PEER is "127.0.0.1:54321", HEX is "81 01 04 00 02 FF"):
//   camera listening                 the port takes connects (at start, or reopened)
//   camera refusing[ (ERROR)]        the port is closed, connects are refused
//   camera N from PEER (ANSWER)      connection N accepted; ANSWER as CameraAnswerName gives it
//   camera N received HEX            the bytes of one read
//   camera N sent HEX                a reply, sent whole
//   camera N closed (WHY)            by device, by peer, reset, at stop
// The listening lines carry no port, so a script's expected lines stay the same run to run.
#pragma once

#include <string>

#include "devsim/camera.h"
#include "devsim/channel.h"
#include "devsim/common.h"
#include "devsim/service.h"
#include "devsim/stats.h"

namespace devsim {

class CameraService : public Service {
 public:
  CameraService(CameraOptions options, Stats& stats, Log log, int stop_fd);

  void Listening(const std::string& address) override;
  void Refusing(const std::string& why) override;
  void Accepted(int number, const std::string& peer) override;
  void Serve(int fd, int number) override;

 private:
  const CameraAnswer& AnswerFor(int number) const;
  Ending Converse(Channel& channel, int number, const CameraAnswer& answer);

  CameraOptions options_;
  Stats& stats_;
  Log log_;
  int stop_fd_;
  int drain_ms_ = 1000;  // how long a graceful close waits for the peer's close
};

}  // namespace devsim
