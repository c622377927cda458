// The HTTP API as a service: each connection gets its fault (in order of acceptance), its
// request is read and routed, and the connection closes as the route or the fault says.
// Event lines: "http ADDRESS", "connection N from PEER[ (fault F)]", "request N "LINE"",
// "connection N closed after P packets (WHY)".
#pragma once

#include <string>
#include <vector>

#include "devsim/common.h"
#include "devsim/faults.h"
#include "devsim/http.h"
#include "devsim/service.h"
#include "devsim/stats.h"

namespace devsim {

struct HttpConfig {
  std::vector<Fault> faults;  // connection 1 gets faults[0], ...
  Fault default_fault;        // for connections beyond the list
  int request_idle_ms = 500;  // a request without its empty line ends after this quiet time
  int drain_ms = 1000;        // how long a graceful close waits for the peer's close
};

class HttpService : public Service {
 public:
  HttpService(HttpConfig config, Router router, Stats& stats, Log log, int stop_fd);

  void Listening(const std::string& address) override;
  void Refusing(const std::string& why) override;
  void Accepted(int number, const std::string& peer) override;
  void Serve(int fd, int number) override;

 private:
  const Fault& FaultFor(int number) const;
  Ending Respond(Channel& channel, int number, const Fault& fault);

  HttpConfig config_;
  Router router_;
  Stats& stats_;
  Log log_;
  int stop_fd_;
};

}  // namespace devsim
