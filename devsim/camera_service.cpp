#include "devsim/camera_service.h"

#include <deque>

namespace devsim {
namespace {

constexpr std::size_t kMaxChunkBytes = 4096;

}  // namespace

CameraService::CameraService(CameraOptions options, Stats& stats, Log log, int stop_fd)
    : options_(std::move(options)), stats_(stats), log_(std::move(log)), stop_fd_(stop_fd) {}

void CameraService::Listening(const std::string&) { log_("camera listening"); }

void CameraService::Refusing(const std::string& why) {
  log_("camera refusing" + (why.empty() ? "" : " (" + why + ")"));
}

const CameraAnswer& CameraService::AnswerFor(int number) const {
  const std::size_t index = static_cast<std::size_t>(number - 1);
  return index < options_.plan.size() ? options_.plan[index] : options_.default_answer;
}

void CameraService::Accepted(int number, const std::string& peer) {
  stats_.OnAccept(peer, Fault{});
  log_("camera " + std::to_string(number) + " from " + peer + " (" + CameraAnswerName(AnswerFor(number)) + ")");
}

Ending CameraService::Converse(Channel& channel, int number, const CameraAnswer& answer) {
  const std::string prefix = "camera " + std::to_string(number);
  // One reply is owed per chunk read, each due its delay after that read, in order.
  std::deque<Clock::time_point> due;
  for (;;) {
    if (!due.empty() && Clock::now() >= due.front()) {
      due.pop_front();
      const IoResult sent = channel.Send(answer.reply.data(), answer.reply.size());
      if (sent != IoResult::kOk) return EndingOf(sent);
      stats_.OnReply(number);
      log_(prefix + " sent " + HexText(answer.reply));
      continue;
    }
    std::string chunk;
    const Clock::time_point until = due.empty() ? Clock::time_point::max() : due.front();
    const IoResult read = channel.ReadSome(&chunk, until, kMaxChunkBytes);
    if (read != IoResult::kOk) return EndingOf(read);
    if (chunk.empty()) continue;  // a reply is due
    stats_.OnReceived(number, chunk);
    log_(prefix + " received " + HexText(chunk));
    switch (answer.kind) {
      case CameraAnswer::Kind::kReply:
        due.push_back(Clock::now() + std::chrono::milliseconds(answer.delay_ms));
        break;
      case CameraAnswer::Kind::kCloseAfterFirst: return Ending::kGraceful;
      case CameraAnswer::Kind::kReset: return Ending::kReset;
      default: break;  // silent
    }
  }
}

void CameraService::Serve(int fd, int number) {
  const CameraAnswer answer = AnswerFor(number);
  Ending ending = Ending::kGraceful;
  {
    Channel channel(fd, stop_fd_);
    if (answer.kind != CameraAnswer::Kind::kClose) ending = Converse(channel, number, answer);
    if (ending == Ending::kGraceful) channel.CloseGracefully(drain_ms_);
    if (ending == Ending::kReset) channel.CloseWithReset();
    if (channel.peer_closed()) stats_.OnPeerClosed(number);
  }
  stats_.OnClosed(number);
  log_("camera " + std::to_string(number) + " closed (" + EndingText(ending) + ")");
}

}  // namespace devsim
