// Our mu-law expander and compressor against spandsp's, on the same signal, in one run.
// Before the timings it checks both expanders code by code and both compressors sample by sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "audio_common/g711.h"

// spandsp's umbrella header drags in libtiff; these three are all g711.h needs.
#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>

namespace {

// A 440 Hz tone at about -15 dBFS with Gaussian noise, 8 kHz, the same every run.
std::vector<std::int16_t> Signal(int n) {
  std::mt19937 rng(20240611);
  std::normal_distribution<double> noise(0.0, 400.0);
  std::vector<std::int16_t> s(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double v = 6000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * i / 8000.0) + noise(rng);
    v = std::fmax(-32768.0, std::fmin(32767.0, v));
    s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(v));
  }
  return s;
}

std::vector<std::uint8_t> Codes(int n) {
  std::vector<std::uint8_t> c;
  for (std::int16_t x : Signal(n)) c.push_back(audio::EncodeMuLawSample(x));
  return c;
}

// The caller's second pass when the decoder gives mono samples.
void ExpandToStereo(int count, const std::int16_t* mono, std::int16_t* frames) {
  for (int i = 0; i < count; ++i) frames[2 * i] = frames[2 * i + 1] = mono[i];
}

// Bytes count what a decode writes: the stereo block, 4 bytes a frame.
void CountDecode(benchmark::State& state, int n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.SetBytesProcessed(state.iterations() * n * 4);
}

// Bytes count what an encode reads: 2 bytes a sample.
void CountEncode(benchmark::State& state, int n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.SetBytesProcessed(state.iterations() * n * 2);
}

void BM_Ours_DecodeStereo(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::uint8_t> codes = Codes(n);
  std::vector<std::int16_t> frames(2 * codes.size());
  for (auto _ : state) {
    audio::DecodeMuLawStereo(n, codes.data(), frames.data());
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  CountDecode(state, n);
}

void BM_Ours_Decode16_ThenStereo(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::uint8_t> bytes = Codes(n);
  const std::vector<std::uint16_t> codes(bytes.begin(), bytes.end());
  std::vector<std::int16_t> mono(codes.size()), frames(2 * codes.size());
  for (auto _ : state) {
    audio::DecodeMuLaw(n, codes.data(), mono.data());
    ExpandToStereo(n, mono.data(), frames.data());
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  CountDecode(state, n);
}

void BM_Spandsp_Inline_DecodeStereo(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::uint8_t> codes = Codes(n);
  std::vector<std::int16_t> frames(2 * codes.size());
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) frames[2 * i] = frames[2 * i + 1] = ulaw_to_linear(codes[i]);
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  CountDecode(state, n);
}

void BM_Spandsp_G711Decode_ThenStereo(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::uint8_t> codes = Codes(n);
  std::vector<std::int16_t> mono(codes.size()), frames(2 * codes.size());
  g711_state_t* g = g711_init(nullptr, G711_ULAW);
  for (auto _ : state) {
    g711_decode(g, mono.data(), codes.data(), n);
    ExpandToStereo(n, mono.data(), frames.data());
    benchmark::DoNotOptimize(frames.data());
    benchmark::ClobberMemory();
  }
  g711_free(g);
  CountDecode(state, n);
}

void BM_Ours_Encode(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::int16_t> samples = Signal(n);
  std::vector<std::uint16_t> codes(samples.size());
  for (auto _ : state) {
    audio::EncodeMuLaw(n, samples.data(), codes.data());
    benchmark::DoNotOptimize(codes.data());
    benchmark::ClobberMemory();
  }
  CountEncode(state, n);
}

// Same output shape as ours: one code per 16-bit slot.
void BM_Spandsp_Inline_Encode(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::int16_t> samples = Signal(n);
  std::vector<std::uint16_t> codes(samples.size());
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) codes[i] = linear_to_ulaw(samples[i]);
    benchmark::DoNotOptimize(codes.data());
    benchmark::ClobberMemory();
  }
  CountEncode(state, n);
}

void BM_Spandsp_G711Encode(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::int16_t> samples = Signal(n);
  std::vector<std::uint8_t> codes(samples.size());
  g711_state_t* g = g711_init(nullptr, G711_ULAW);
  for (auto _ : state) {
    g711_encode(g, codes.data(), samples.data(), n);
    benchmark::DoNotOptimize(codes.data());
    benchmark::ClobberMemory();
  }
  g711_free(g);
  CountEncode(state, n);
}

BENCHMARK(BM_Ours_DecodeStereo)->Arg(512)->Arg(4096);
BENCHMARK(BM_Spandsp_Inline_DecodeStereo)->Arg(512)->Arg(4096);
BENCHMARK(BM_Ours_Decode16_ThenStereo)->Arg(512)->Arg(4096);
BENCHMARK(BM_Spandsp_G711Decode_ThenStereo)->Arg(512)->Arg(4096);
BENCHMARK(BM_Ours_Encode)->Arg(1024)->Arg(4096);
BENCHMARK(BM_Spandsp_Inline_Encode)->Arg(1024)->Arg(4096);
BENCHMARK(BM_Spandsp_G711Encode)->Arg(1024)->Arg(4096);

// Our expander, through each entry point, against ulaw_to_linear for all 256 codes; then the
// compressors over every 16-bit sample. Prints what differs and whether a shift explains it.
void CrossCheck() {
  std::uint8_t bytes[256];
  std::uint16_t slots[256];
  for (int c = 0; c < 256; ++c) bytes[c] = static_cast<std::uint8_t>(slots[c] = static_cast<std::uint16_t>(c));
  std::int16_t mono[256], frames[512];
  audio::DecodeMuLaw(256, slots, mono);
  audio::DecodeMuLawStereo(256, bytes, frames);

  int differ = 0, shiftedUp = 0, shiftedDown = 0;
  for (int c = 0; c < 256; ++c) {
    const int ours = mono[c], theirs = ulaw_to_linear(static_cast<std::uint8_t>(c));
    if (frames[2 * c] != ours || frames[2 * c + 1] != ours || audio::DecodeMuLawSample(bytes[c]) != ours)
      std::printf("cross-check: our entry points disagree on code %d\n", c);
    if (ours == theirs) continue;
    ++differ;
    if (ours == theirs * 4) ++shiftedUp;
    if (ours * 4 == theirs) ++shiftedDown;
    if (differ <= 16) std::printf("cross-check: code %3d ours %6d spandsp %6d\n", c, ours, theirs);
  }
  if (differ == 0)
    std::printf("cross-check: decode identical to spandsp's ulaw_to_linear for all 256 codes\n");
  else
    std::printf("cross-check: decode differs on %d codes (%d are ours = spandsp<<2, %d are ours = spandsp>>2)\n",
                differ, shiftedUp, shiftedDown);

  int encodeDiffer = 0;
  for (int x = -32768; x <= 32767; ++x) {
    const int ours = audio::EncodeMuLawSample(static_cast<std::int16_t>(x)), theirs = linear_to_ulaw(x);
    if (ours == theirs) continue;
    if (++encodeDiffer <= 8) std::printf("cross-check: sample %6d ours code %3d spandsp code %3d\n", x, ours, theirs);
  }
  std::printf("cross-check: encode differs on %d of 65536 samples\n", encodeDiffer);
}

}  // namespace

int main(int argc, char** argv) {
  CrossCheck();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
