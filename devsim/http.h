// The device's HTTP side: request parsing and a table of routes. A route's handler runs on the
// connection's thread, owns the exchange from the request on, and says how the connection ends.
// New API paths are added with Router::Add; the HTTP service does not change.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devsim/channel.h"
#include "devsim/faults.h"
#include "devsim/stats.h"

namespace devsim {

struct Request {
  std::string raw;     // as received
  std::string method;  // "GET"
  std::string target;  // "/api/audio?lowdelay=1"
  std::string path;    // "/api/audio"
  std::string query;   // "lowdelay=1"
  std::string version; // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;

  // The first header of that name (any case), or "" if there is none.
  std::string Header(std::string_view name) const;
  // The value of a query parameter, or "" if absent.
  std::string Query(std::string_view name) const;
};

// Splits the request line (method, target, version) and the header lines. False if the request
// line is not three words.
bool ParseRequest(const std::string& raw, Request* request);
// The request line, for the log.
std::string RequestLine(const std::string& raw);

struct Exchange {
  Channel& channel;
  const Request& request;
  const Fault& fault;
  int number;  // the connection's
  Stats& stats;
};

using Handler = std::function<Ending(Exchange&)>;

class Router {
 public:
  void Add(std::string method, std::string path, Handler handler);
  // The handler for the request's method and path, or nullptr.
  const Handler* Find(const Request& request) const;

 private:
  struct Route {
    std::string method;
    std::string path;
    Handler handler;
  };
  std::vector<Route> routes_;
};

inline constexpr std::string_view kNotFound = "HTTP/1.1 404 Not Found\r\n\r\n";

}  // namespace devsim
