// Win32 backend of sound.h: DirectSound 8 on the default output device.
//
// The output owns the device object, each ring one secondary buffer and a reference to the
// device too, since the device's last release frees every buffer made from it; so the two may be
// released in either order. DirectSound objects are free-threaded: a ring created on the
// container's thread is used on the control's worker thread without any marshalling.
#include <winsock2.h>
#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>
#include <dsound.h>

#include <cstring>

#include "platform/sound.h"
#include "platform/win32/directsound.h"

namespace plat {
namespace {

// Volume control; global focus, so the sound goes on while another application has the focus;
// the accurate play cursor; and the buffer's location chosen when it first plays.
constexpr DWORD kRingFlags =
    DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_LOCDEFER;
static_assert(kRingFlags == 0x58080);

class DirectSoundRing final : public SoundRing {
 public:
  DirectSoundRing(IDirectSound8* device, IDirectSoundBuffer8* buffer, std::uint32_t bytes)
      : device_(device), buffer_(buffer), bytes_(bytes) {
    device_->AddRef();
  }
  ~DirectSoundRing() override {
    buffer_->Release();
    device_->Release();
  }

  bool Write(std::uint32_t offset, const void* data, std::uint32_t len) override {
    // DirectSound would wrap a region running past the end round to the start; ours must fit.
    if (offset > bytes_ || len > bytes_ - offset) return false;
    if (len == 0) return true;  // DirectSound refuses to lock nothing
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD len1 = 0, len2 = 0;
    HRESULT hr = buffer_->Lock(offset, len, &part1, &len1, &part2, &len2, 0);
    if (hr == DSERR_BUFFERLOST && SUCCEEDED(buffer_->Restore()))  // another application took the device
      hr = buffer_->Lock(offset, len, &part1, &len1, &part2, &len2, 0);
    if (FAILED(hr)) return false;
    std::memcpy(part1, data, len1);
    if (part2 != nullptr) std::memcpy(part2, static_cast<const unsigned char*>(data) + len1, len2);
    return SUCCEEDED(buffer_->Unlock(part1, len1, part2, len2));
  }
  bool Play() override { return SUCCEEDED(buffer_->Play(0, 0, DSBPLAY_LOOPING)); }
  bool Stop() override { return SUCCEEDED(buffer_->Stop()); }
  bool SetPosition(std::uint32_t offset) override {
    return offset < bytes_ && SUCCEEDED(buffer_->SetCurrentPosition(offset));
  }
  bool GetPlayCursor(std::uint32_t* offset) override {
    DWORD play = 0, write = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &write))) return false;
    *offset = play;
    return true;
  }
  bool SetAttenuation(std::int32_t hundredths_db) override {
    if (hundredths_db < kAttenuationSilence || hundredths_db > 0) return false;
    return SUCCEEDED(buffer_->SetVolume(hundredths_db));
  }
  std::uint32_t Size() const override { return bytes_; }

  IDirectSoundBuffer8* buffer() const { return buffer_; }

 private:
  IDirectSound8* device_;
  IDirectSoundBuffer8* buffer_;
  std::uint32_t bytes_;
};

class DirectSoundOutput final : public SoundOutput {
 public:
  // com_thread: the thread whose CoInitializeEx this output balances, or 0.
  DirectSoundOutput(IDirectSound8* device, DWORD com_thread) : device_(device), com_thread_(com_thread) {}
  ~DirectSoundOutput() override {
    device_->Release();
    if (com_thread_ == GetCurrentThreadId()) CoUninitialize();
  }

  bool SetCooperativeLevel(WindowHandle window) override {
    // Refused here: the priority level belongs to the control's window, which must exist.
    if (window == nullptr) return false;
    return SUCCEEDED(device_->SetCooperativeLevel(static_cast<HWND>(window), DSSCL_PRIORITY));
  }

  std::unique_ptr<SoundRing> CreateRing(const SoundFormat& format, std::uint32_t bytes) override {
    const std::uint32_t frame = format.BytesPerFrame();
    if (bytes == 0 || frame == 0 || bytes % frame != 0) return nullptr;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.frames_per_second;
    wave.wBitsPerSample = format.bits_per_sample;
    wave.nBlockAlign = static_cast<WORD>(frame);
    wave.nAvgBytesPerSec = format.frames_per_second * frame;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kRingFlags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &wave;
    IDirectSoundBuffer* first = nullptr;
    if (FAILED(device_->CreateSoundBuffer(&desc, &first, nullptr))) return nullptr;
    IDirectSoundBuffer8* buffer = nullptr;
    const HRESULT hr = first->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer));
    first->Release();
    if (FAILED(hr)) return nullptr;
    return std::make_unique<DirectSoundRing>(device_, buffer, bytes);
  }

 private:
  IDirectSound8* device_;
  DWORD com_thread_;
};

}  // namespace

std::unique_ptr<SoundOutput> CreateSoundOutput() {
  // DirectSound reaches the audio endpoints through COM. A thread already in an apartment keeps
  // it (S_FALSE, or RPC_E_CHANGED_MODE for a multithreaded one); a count this call adds is given
  // back if the output is released on the same thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const DWORD com_thread = SUCCEEDED(com) ? GetCurrentThreadId() : 0;
  IDirectSound8* device = nullptr;
  if (FAILED(DirectSoundCreate8(nullptr, &device, nullptr))) {
    if (com_thread != 0) CoUninitialize();
    return nullptr;
  }
  return std::make_unique<DirectSoundOutput>(device, com_thread);
}

IDirectSoundBuffer8* DirectSoundBufferOf(SoundRing& ring) {
  auto* ours = dynamic_cast<DirectSoundRing*>(&ring);
  return ours ? ours->buffer() : nullptr;
}

}  // namespace plat
