#include "devsim/audio_source.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace devsim {
namespace {

class Tone final : public AudioSource {
 public:
  Tone(double hz, int amplitude) : hz_(hz), amplitude_(amplitude) {}
  std::int16_t NextSample() override {
    // The fraction of a cycle from the index alone keeps the phase exact over long runs.
    const double cycles = std::fmod(hz_ * static_cast<double>(index_++) / kSampleRate, 1.0);
    const double v = std::round(amplitude_ * std::sin(2.0 * std::numbers::pi * cycles));
    return static_cast<std::int16_t>(std::fmax(-32768.0, std::fmin(32767.0, v)));
  }

 private:
  double hz_;
  int amplitude_;
  std::uint64_t index_ = 0;
};

class Ramp final : public AudioSource {
 public:
  explicit Ramp(int step) : step_(static_cast<std::uint16_t>(step)) {}
  std::int16_t NextSample() override {
    const std::uint16_t v = value_;
    value_ = static_cast<std::uint16_t>(value_ + step_);
    // Starts at the bottom of the range and climbs.
    return static_cast<std::int16_t>(static_cast<int>(v) - 32768);
  }

 private:
  std::uint16_t step_;
  std::uint16_t value_ = 0;
};

class Loop final : public AudioSource {
 public:
  explicit Loop(std::shared_ptr<const std::vector<std::int16_t>> samples) : samples_(std::move(samples)) {}
  std::int16_t NextSample() override {
    const std::int16_t v = (*samples_)[next_];
    if (++next_ == samples_->size()) next_ = 0;
    return v;
  }

 private:
  std::shared_ptr<const std::vector<std::int16_t>> samples_;
  std::size_t next_ = 0;
};

std::uint32_t Le32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t Le16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

}  // namespace

SourceFactory ToneSource(double hz, int amplitude) {
  return [hz, amplitude] { return std::make_unique<Tone>(hz, amplitude); };
}

SourceFactory RampSource(int step) {
  return [step] { return std::make_unique<Ramp>(step); };
}

SourceFactory LoopSource(std::shared_ptr<const std::vector<std::int16_t>> samples) {
  return [samples] { return std::make_unique<Loop>(samples); };
}

bool ParseWav(const std::string& b, std::vector<std::int16_t>* samples, std::string* error) {
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0)
    return Fail(error, "not a RIFF WAVE file");
  bool have_format = false;
  unsigned channels = 0;
  std::size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::string id = b.substr(at, 4);
    const std::size_t size = Le32(b, at + 4);
    const std::size_t body = at + 8;
    if (size > b.size() - body) {
      // A data chunk cut short (a recording that was never finalised) still plays what it has.
      if (id != "data") return Fail(error, "chunk '" + id + "' runs past the end of the file");
    }
    const std::size_t end = body + std::min(size, b.size() - body);
    if (id == "fmt ") {
      if (end - body < 16) return Fail(error, "format chunk too short");
      const unsigned tag = Le16(b, body);
      channels = Le16(b, body + 2);
      const std::uint32_t rate = Le32(b, body + 4);
      const unsigned bits = Le16(b, body + 14);
      bool pcm = tag == 1;
      if (tag == 0xFFFE && end - body >= 26) pcm = Le16(b, body + 24) == 1;  // extensible: sub-format
      if (!pcm) return Fail(error, "not PCM (format tag " + std::to_string(tag) + ")");
      if (bits != 16) return Fail(error, std::to_string(bits) + "-bit samples; 16-bit needed");
      if (rate != kSampleRate)
        return Fail(error, std::to_string(rate) + " Hz; 8000 Hz needed");
      if (channels != 1 && channels != 2)
        return Fail(error, std::to_string(channels) + " channels; mono or stereo needed");
      have_format = true;
    } else if (id == "data") {
      if (!have_format) return Fail(error, "data chunk before the format chunk");
      const std::size_t frame = 2u * channels;
      samples->clear();
      for (std::size_t p = body; p + frame <= end; p += frame)
        samples->push_back(static_cast<std::int16_t>(Le16(b, p)));
      if (samples->empty()) return Fail(error, "no samples");
      return true;
    }
    at = end + (size & 1u);  // chunks are padded to an even size
  }
  return Fail(error, have_format ? "no data chunk" : "no format chunk");
}

bool WavFileSource(const std::string& path, SourceFactory* factory, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, path + ": cannot open: " + std::strerror(errno));
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto samples = std::make_shared<std::vector<std::int16_t>>();
  std::string why;
  if (!ParseWav(bytes, samples.get(), &why)) return Fail(error, path + ": " + why);
  *factory = LoopSource(std::move(samples));
  return true;
}

}  // namespace devsim
