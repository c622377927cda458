// The HTTP listener. One thread accepts; each accepted connection gets its fault (in order of
// acceptance) and a thread of its own, which reads the request, runs the route and closes the
// connection as the route or fault says. Everything ends once the stop descriptor becomes
// readable; Join() then waits for every thread. Start and Join are called by the owner's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "devsim/address.h"
#include "devsim/common.h"
#include "devsim/faults.h"
#include "devsim/http.h"
#include "devsim/stats.h"

namespace devsim {

struct ServerConfig {
  std::string bind = "127.0.0.1";
  std::uint16_t port = 0;
  std::vector<Fault> faults;  // connection 1 gets faults[0], ...
  Fault default_fault;        // for connections beyond the list
  int request_idle_ms = 500;  // a request without its empty line ends after this quiet time
  int drain_ms = 1000;        // how long a graceful close waits for the peer's close
};

class Server {
 public:
  Server(ServerConfig config, Router router, Stats& stats, Log log, int stop_fd);
  ~Server();  // joins; the stop descriptor must have been signalled
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool Start(std::string* error);
  void Join();
  std::uint16_t port() const { return port_; }
  std::string address() const { return address_; }  // "127.0.0.1:PORT"

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void Accept();
  void Serve(int fd, int number, Fault fault);
  Ending Respond(Channel& channel, int number, const Fault& fault);

  ServerConfig config_;
  Router router_;
  Stats& stats_;
  Log log_;
  int stop_fd_;
  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
  std::string address_;
  std::thread acceptor_;
  std::list<Worker> workers_;  // touched by the accepting thread only, until Join
};

}  // namespace devsim
