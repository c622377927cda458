#include "devsim/audio_route.h"

#include <algorithm>
#include <vector>

#include "devsim/packets.h"

namespace devsim {
namespace {

constexpr auto kPacketPeriod = std::chrono::milliseconds(audio::kPacketMs);

using Bytes = std::vector<std::uint8_t>;

Ending StreamNoise(Exchange& x, Clock::time_point start) {
  NoiseGenerator noise(0x5eed0000u + static_cast<std::uint32_t>(x.number));
  std::uint8_t chunk[audio::kPacketBytes];
  for (std::uint64_t k = 0;; ++k) {
    IoResult r = x.channel.WaitUntil(start + k * kPacketPeriod);
    if (r == IoResult::kOk) {
      noise.Fill(chunk, sizeof chunk);
      r = x.channel.Send(chunk, sizeof chunk);
    }
    if (r != IoResult::kOk) return EndingOf(r);
  }
}

Ending ServeAudio(Exchange& x, const SourceFactory& make_source) {
  const Fault& fault = x.fault;
  Bytes out(kAudioResponseHeader.begin(), kAudioResponseHeader.end());
  // A split keeps the header back to go out in one write with the start of the first packet.
  if (fault.kind != Fault::Kind::kSplit) {
    const IoResult r = x.channel.Send(out.data(), out.size());
    if (r != IoResult::kOk) return EndingOf(r);
    out.clear();
  }
  const Clock::time_point start = Clock::now();
  if (fault.kind == Fault::Kind::kNoise) return StreamNoise(x, start);
  if (fault.kind == Fault::Kind::kGarbage && fault.n > 0) {
    Bytes garbage(fault.n);
    NoiseGenerator(0x9a4b0000u + static_cast<std::uint32_t>(x.number)).Fill(garbage.data(), garbage.size());
    const IoResult r = x.channel.Send(garbage.data(), garbage.size());
    if (r != IoResult::kOk) return EndingOf(r);
  }

  PacketStream stream(make_source());
  bool holding_tail = false;  // out starts with the rest of a packet already partly sent
  for (std::uint64_t k = 0;; ++k) {
    const IoResult waited = x.channel.WaitUntil(start + k * kPacketPeriod);
    if (waited != IoResult::kOk) return EndingOf(waited);
    // The planned end comes in the slot after the last packet, so the peer has read them.
    if (fault.kind == Fault::Kind::kCloseAfter && k == fault.n) return Ending::kGraceful;
    if (fault.kind == Fault::Kind::kResetAfter && k == fault.n) return Ending::kReset;

    const Packet packet = stream.Next();
    out.insert(out.end(), packet.begin(), packet.end());
    std::size_t now = out.size();
    int completed = holding_tail ? 2 : 1;
    if (fault.kind == Fault::Kind::kSplit && k == 0 && fault.n < audio::kPacketBytes) {
      now = kAudioResponseHeader.size() + fault.n;  // the rest goes with the next packet
      completed = 0;
    }
    const IoResult r = x.channel.Send(out.data(), now);
    if (r != IoResult::kOk) return EndingOf(r);
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(now));
    holding_tail = !out.empty();
    for (int i = 0; i < completed; ++i) x.stats.OnPacket(x.number);
  }
}

}  // namespace

void AddAudioRoute(Router& router, SourceFactory source) {
  router.Add("GET", "/api/audio", [source = std::move(source)](Exchange& x) { return ServeAudio(x, source); });
}

}  // namespace devsim
