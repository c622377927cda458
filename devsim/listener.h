// A TCP listener for one service. One thread accepts, numbers the connections in order and
// gives each a thread of its own running the service. The port stays reserved by a bound
// socket that never listens, so the listening socket can be closed (connects are refused)
// and reopened on the same port without another socket taking it in between. Everything ends
// once the stop descriptor becomes readable; Join() then waits for every thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "devsim/common.h"
#include "devsim/service.h"

namespace devsim {

struct ListenerConfig {
  std::string name = "http";  // for error texts
  std::string bind = "127.0.0.1";
  std::uint16_t port = 0;  // 0: the system picks one
  int refuse_ms = 0;       // start with connects refused, and open after this long
};

class Listener {
 public:
  Listener(ListenerConfig config, Service& service, int stop_fd);
  ~Listener();  // joins; the stop descriptor must have been signalled
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Reserves the port and, unless refusing at first, listens. Called by the owner's thread.
  bool Start(std::string* error);
  // Closes the listening socket, or opens it again on the same port; returns once that is
  // done. Connections already queued are taken before the close, not reset. Any thread; false
  // with *error if the reopen failed or the listener has stopped.
  bool SetRefusing(bool refusing, std::string* error);
  void Join();  // by the owner's thread

  std::uint16_t port() const { return port_; }
  std::string address() const { return address_; }  // "127.0.0.1:PORT"

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void Run();
  bool Open(std::string* error);
  void Close();
  bool AcceptOne();  // false once nothing is waiting
  void Apply(bool refusing);  // on the accepting thread

  ListenerConfig config_;
  Service& service_;
  int stop_fd_;
  int wake_fd_ = -1;     // written by SetRefusing to wake the accepting thread
  int reserve_fd_ = -1;  // bound, never listening: holds the port
  int listen_fd_ = -1;   // -1 while refusing; the accepting thread's after Start
  std::uint16_t port_ = 0;
  std::string address_;
  int accepted_ = 0;
  std::thread acceptor_;
  std::list<Worker> workers_;  // touched by the accepting thread only, until Join

  std::mutex mutex_;  // guards the requests below
  std::condition_variable applied_;
  bool want_refusing_ = false;
  std::uint64_t asked_ = 0, done_ = 0;  // SetRefusing calls made and carried out
  std::string failure_;                 // why the last reopen failed; empty if it did not
  bool running_ = false;
};

}  // namespace devsim
