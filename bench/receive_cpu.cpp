// The CPU the receive control's per-read work costs per second of audio: the read buffer's
// clearing and HTTP test, reassembly, the peak scan and the stereo expansion, as ReceivePacket
// does them, on a synthetic TCP stream read 524 bytes at a time.
// receive_cpu [packets]   (default 100000)
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "ZubAudioR/CarryBuffer.h"
#include "audio_common/g711.h"
#include "audio_common/packet.h"

namespace {

constexpr int kStreamPackets = 64;
// The stream starts mid-packet, so every read carries the tail of one packet and the head of
// the next: the carry buffer then searches, copies and moves on every read.
constexpr std::size_t kSkew = 200;

// 64 packets of a tone plus noise, cut to start kSkew bytes in; read cyclically it is an
// endless stream (the wrap point is a packet boundary).
std::vector<std::uint8_t> Stream() {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 400.0);
  std::vector<std::uint8_t> s(kStreamPackets * audio::kPacketBytes);
  std::uint32_t counter = 0;
  for (int p = 0; p < kStreamPackets; ++p) {
    std::uint8_t* packet = s.data() + p * audio::kPacketBytes;
    audio::PutPacketHeader(packet, counter);
    for (std::size_t i = 0; i < audio::kPacketSamples; ++i, ++counter) {
      const double v = 6000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * counter / 8000.0) + noise(rng);
      packet[audio::kPacketHeaderBytes + i] = audio::EncodeMuLawSample(static_cast<std::int16_t>(std::lround(v)));
    }
  }
  std::rotate(s.begin(), s.begin() + kSkew, s.end());
  return s;
}

double ProcessCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e9 + t.tv_nsec;
}

struct Result {
  long packets = 0;
  std::uint64_t checksum = 0;  // keeps the work observable
};

Result Run(const std::vector<std::uint8_t>& stream, long reads) {
  zubr::CarryBuffer carry;
  static std::uint8_t readBuffer[1024];
  std::uint8_t packet[audio::kPacketBytes];
  std::int16_t block[2 * audio::kPacketSamples];
  Result r;
  std::size_t at = 0;
  for (long k = 0; k < reads; ++k) {
    std::memset(readBuffer, 0, sizeof readBuffer);
    std::memcpy(readBuffer, stream.data() + at, audio::kPacketBytes);  // the socket read
    at = (at + audio::kPacketBytes) % stream.size();
    if (std::strstr(reinterpret_cast<const char*>(readBuffer), "HTTP") != nullptr) continue;
    if (!carry.Append(readBuffer, audio::kPacketBytes, packet)) continue;
    const std::uint8_t* codes = packet + audio::kPacketHeaderBytes;
    const std::uint8_t peak = audio::PeakLevel(codes, audio::kPacketSamples);
    audio::DecodeMuLawStereo(static_cast<int>(audio::kPacketSamples), codes, block);
    ++r.packets;
    r.checksum += peak + static_cast<std::uint16_t>(block[2 * (r.packets % audio::kPacketSamples)]);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const long reads = argc > 1 ? std::atol(argv[1]) : 100000;
  if (reads <= 0) {
    std::fprintf(stderr, "usage: receive_cpu [packets]\n");
    return 2;
  }
  const std::vector<std::uint8_t> stream = Stream();
  Run(stream, reads / 10 + 1);  // warm the caches and the branch predictors

  const auto wall0 = std::chrono::steady_clock::now();
  const double cpu0 = ProcessCpuNs();
  const Result r = Run(stream, reads);
  const double cpuNs = ProcessCpuNs() - cpu0;
  const double wallNs = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - wall0).count();

  if (r.packets < reads - 1) {
    std::fprintf(stderr, "receive_cpu: only %ld packets came out of %ld reads\n", r.packets, reads);
    return 1;
  }
  const double packetsPerSecond = 1000.0 / audio::kPacketMs;  // 15.625
  const double cpuPerPacket = cpuNs / r.packets, wallPerPacket = wallNs / r.packets;
  std::printf("receive_cpu: %ld reads, %ld packets (%.1f s of audio), checksum %llu\n", reads, r.packets,
              r.packets / packetsPerSecond, static_cast<unsigned long long>(r.checksum));
  std::printf("receive_cpu: %.1f ns per packet wall, %.1f ns per packet CPU\n", wallPerPacket, cpuPerPacket);
  std::printf("receive_cpu: %.2f us of CPU per second of audio (%.4f%% of one core)\n",
              cpuPerPacket * packetsPerSecond / 1000.0, cpuPerPacket * packetsPerSecond / 1e7);
  return 0;
}
