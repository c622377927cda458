#include "devsim/http_service.h"

#include <cstdio>

namespace devsim {
namespace {

constexpr std::size_t kMaxRequestBytes = 64 * 1024;

// The request line as a quoted log text: quotes, backslashes and control bytes escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

HttpService::HttpService(HttpConfig config, Router router, Stats& stats, Log log, int stop_fd)
    : config_(std::move(config)), router_(std::move(router)), stats_(stats), log_(std::move(log)), stop_fd_(stop_fd) {}

void HttpService::Listening(const std::string& address) { log_("http " + address); }

void HttpService::Refusing(const std::string& why) { log_("http refusing" + (why.empty() ? "" : " (" + why + ")")); }

const Fault& HttpService::FaultFor(int number) const {
  const std::size_t index = static_cast<std::size_t>(number - 1);
  return index < config_.faults.size() ? config_.faults[index] : config_.default_fault;
}

void HttpService::Accepted(int number, const std::string& peer) {
  const Fault& fault = FaultFor(number);
  stats_.OnAccept(peer, fault);
  std::string line = "connection " + std::to_string(number) + " from " + peer;
  if (fault.kind != Fault::Kind::kNone) line += " (fault " + FaultName(fault) + ")";
  log_(line);
}

Ending HttpService::Respond(Channel& channel, int number, const Fault& fault) {
  std::string raw;
  const IoResult read = channel.ReadRequest(&raw, config_.request_idle_ms, kMaxRequestBytes);
  if (!raw.empty()) {
    stats_.OnRequest(number, raw);
    log_("request " + std::to_string(number) + " " + Quoted(RequestLine(raw)));
  }
  if (read == IoResult::kStopped) return Ending::kStopped;
  if (raw.empty()) return read == IoResult::kPeerClosed ? Ending::kPeerClosed : Ending::kGraceful;
  if (fault.kind == Fault::Kind::kStall) {
    const IoResult r = channel.WaitUntil(Clock::time_point::max());
    return r == IoResult::kStopped ? Ending::kStopped : Ending::kPeerClosed;
  }
  Request request;
  const Handler* handler = ParseRequest(raw, &request) ? router_.Find(request) : nullptr;
  if (handler == nullptr) {
    const IoResult r = channel.Send(kNotFound.data(), kNotFound.size());
    return r == IoResult::kOk ? Ending::kGraceful : r == IoResult::kStopped ? Ending::kStopped : Ending::kPeerClosed;
  }
  devsim::Exchange exchange{channel, request, fault, number, stats_};
  return (*handler)(exchange);
}

void HttpService::Serve(int fd, int number) {
  const Fault fault = FaultFor(number);
  Ending ending = Ending::kGraceful;
  {
    Channel channel(fd, stop_fd_);
    if (fault.kind != Fault::Kind::kClose) ending = Respond(channel, number, fault);
    if (ending == Ending::kGraceful) channel.CloseGracefully(config_.drain_ms);
    if (ending == Ending::kReset) channel.CloseWithReset();
    if (channel.peer_closed()) stats_.OnPeerClosed(number);
  }  // a peer's or the stop's end: the channel just closes the socket
  std::uint64_t packets = 0;
  for (const ConnectionInfo& c : stats_.Connections())
    if (c.number == number) packets = c.packets;
  stats_.OnClosed(number);
  log_("connection " + std::to_string(number) + " closed after " + std::to_string(packets) + " packets (" +
       EndingText(ending) + ")");
}

}  // namespace devsim
