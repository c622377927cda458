#include "platform/virtual_sound.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace plat {
namespace {

VirtualSoundConfig g_config;
class WavWriter;
std::unique_ptr<WavWriter> g_wav;

// The recording's format, which is the receive ring's.
constexpr std::uint32_t kRecordRate = 8000;
constexpr std::uint16_t kRecordChannels = 2;
constexpr std::uint32_t kFrameBytes = 4;

std::uint64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void PutLe32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Writes a 16-bit PCM WAV file; sizes are patched when it is closed.
class WavWriter {
 public:
  explicit WavWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_) WriteHeader();
  }
  ~WavWriter() {
    if (!file_) return;
    WriteHeader();
    std::fclose(file_);
  }
  void Append(const unsigned char* data, std::size_t len) {
    if (!file_) return;
    std::fwrite(data, 1, len, file_);
    data_bytes_ += static_cast<std::uint32_t>(len);
  }

 private:
  void WriteHeader() {
    unsigned char h[44];
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 36 + data_bytes_);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    h[20] = 1, h[21] = 0;  // PCM
    h[22] = kRecordChannels, h[23] = 0;
    PutLe32(h + 24, kRecordRate);
    PutLe32(h + 28, kRecordRate * kFrameBytes);
    h[32] = kFrameBytes, h[33] = 0;
    h[34] = 16, h[35] = 0;
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, data_bytes_);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, file_);
    std::fseek(file_, 0, SEEK_END);
  }
  std::FILE* file_;
  std::uint32_t data_bytes_ = 0;
};

class VirtualRing;

// The output device: owns the frame clock that every ring's cursor and the recording follow.
class VirtualOutput final : public SoundOutput {
 public:
  VirtualOutput() : created_us_(NowUs()) {
    // One recording per process: devices that follow each other (Reload, Play) append to it.
    if (!g_config.playback_wav.empty() && !g_wav) g_wav = std::make_unique<WavWriter>(g_config.playback_wav);
  }
  ~VirtualOutput() override;

  bool SetCooperativeLevel(WindowHandle window) override {
    window_ = window;
    return window != nullptr;
  }
  std::unique_ptr<SoundRing> CreateRing(const SoundFormat& format, std::uint32_t bytes) override;

  // Frames since the device was created, on the real clock.
  std::uint64_t FrameNow() const { return (NowUs() - created_us_) * kRecordRate / 1000000; }

  // Records everything played up to now; called before any change to what is playing.
  void CatchUp();
  void Detach(VirtualRing* ring) {
    CatchUp();
    if (recorded_ring_ == ring) recorded_ring_ = nullptr;
  }

 private:
  std::uint64_t created_us_;
  WindowHandle window_ = nullptr;
  std::uint64_t recorded_frames_ = 0;
  VirtualRing* recorded_ring_ = nullptr;  // the first ring of the recording's format
};

class VirtualRing final : public SoundRing {
 public:
  VirtualRing(VirtualOutput* output, std::uint32_t bytes) : output_(output), data_(bytes, 0) {}
  ~VirtualRing() override { output_->Detach(this); }

  bool Write(std::uint32_t offset, const void* data, std::uint32_t len) override {
    if (offset > data_.size() || len > data_.size() - offset) return false;
    output_->CatchUp();
    std::memcpy(data_.data() + offset, data, len);
    return true;
  }
  bool Play() override {
    output_->CatchUp();
    if (!playing_) {
      start_frame_ = output_->FrameNow();
      start_pos_ = position_;
      playing_ = true;
    }
    return true;
  }
  bool Stop() override {
    output_->CatchUp();
    position_ = CursorAt(output_->FrameNow());
    playing_ = false;
    return true;
  }
  bool SetPosition(std::uint32_t offset) override {
    if (offset >= data_.size()) return false;
    output_->CatchUp();
    position_ = offset - offset % kFrameBytes;
    start_frame_ = output_->FrameNow();
    start_pos_ = position_;
    return true;
  }
  bool GetPlayCursor(std::uint32_t* offset) override {
    *offset = playing_ ? CursorAt(output_->FrameNow()) : position_;
    return true;
  }
  bool SetAttenuation(std::int32_t hundredths_db) override {
    if (hundredths_db < kAttenuationSilence || hundredths_db > 0) return false;
    output_->CatchUp();
    attenuation_ = hundredths_db;
    gain_ = hundredths_db <= kAttenuationSilence ? 0.0 : std::pow(10.0, hundredths_db / 2000.0);
    return true;
  }
  std::uint32_t Size() const override { return static_cast<std::uint32_t>(data_.size()); }

  // The frame that plays at device frame f, attenuated, into out (4 bytes); silence if stopped.
  void Render(std::uint64_t f, unsigned char* out) const {
    if (!playing_) {
      std::memset(out, 0, kFrameBytes);
      return;
    }
    const std::uint32_t at = CursorAt(f);
    for (int ch = 0; ch < 2; ++ch) {
      const unsigned char* p = data_.data() + at + 2 * ch;
      const int s = static_cast<std::int16_t>(p[0] | (p[1] << 8));
      const long v = std::clamp(std::lround(s * gain_), -32768L, 32767L);
      out[2 * ch] = static_cast<unsigned char>(v & 0xFF);
      out[2 * ch + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    }
  }

 private:
  std::uint32_t CursorAt(std::uint64_t frame) const {
    const std::uint64_t advanced = (frame - start_frame_) * kFrameBytes;
    return static_cast<std::uint32_t>((start_pos_ + advanced) % data_.size());
  }

  VirtualOutput* output_;
  std::vector<unsigned char> data_;
  bool playing_ = false;
  std::uint32_t position_ = 0;      // while stopped
  std::uint64_t start_frame_ = 0;   // device frame at which the cursor stood at start_pos_
  std::uint32_t start_pos_ = 0;
  std::int32_t attenuation_ = 0;
  double gain_ = 1.0;
};

VirtualOutput::~VirtualOutput() { CatchUp(); }

std::unique_ptr<SoundRing> VirtualOutput::CreateRing(const SoundFormat& format, std::uint32_t bytes) {
  if (window_ == nullptr || bytes == 0 || format.BytesPerFrame() == 0 ||
      bytes % format.BytesPerFrame() != 0)
    return nullptr;
  auto ring = std::make_unique<VirtualRing>(this, bytes);
  const bool recordable = format.frames_per_second == kRecordRate &&
                          format.channels == kRecordChannels && format.bits_per_sample == 16;
  if (recordable && recorded_ring_ == nullptr) {
    CatchUp();
    recorded_ring_ = ring.get();
  }
  return ring;
}

void VirtualOutput::CatchUp() {
  const std::uint64_t now = FrameNow();
  WavWriter* wav = g_wav.get();
  if (!wav) {
    recorded_frames_ = now;
    return;
  }
  unsigned char chunk[1024 * kFrameBytes];
  while (recorded_frames_ < now) {
    const std::uint64_t n = std::min<std::uint64_t>(now - recorded_frames_, 1024);
    for (std::uint64_t i = 0; i < n; ++i) {
      unsigned char* out = chunk + i * kFrameBytes;
      if (recorded_ring_) recorded_ring_->Render(recorded_frames_ + i, out);
      else std::memset(out, 0, kFrameBytes);
    }
    wav->Append(chunk, n * kFrameBytes);
    recorded_frames_ += n;
  }
}

}  // namespace

void ConfigureVirtualSound(const VirtualSoundConfig& config) { g_config = config; }
const VirtualSoundConfig& VirtualSoundSettings() { return g_config; }
void FinishVirtualSoundRecording() { g_wav.reset(); }

std::unique_ptr<SoundOutput> CreateVirtualSoundOutput() {
  if (g_config.no_device) return nullptr;
  return std::make_unique<VirtualOutput>();
}

}  // namespace plat
