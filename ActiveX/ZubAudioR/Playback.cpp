// The sound ring: set up on the container's thread (InitSound), then the worker's alone.
#include "ZubAudioR/ReceiveAudio.h"

namespace zubr {

bool CReceiveAudio::InitSound() {
  m_playout.Attach(nullptr);
  m_soundDevice = plat::CreateSoundOutput();
  if (!m_soundDevice) return false;
  // The cooperative level needs the control's window; a control without one fails here.
  if (!m_soundDevice->SetCooperativeLevel(m_window)) {
    m_soundDevice.reset();
    return false;
  }
  m_soundBuffer = m_soundDevice->CreateRing(plat::SoundFormat{8000, 2, 16}, Playout::kRingBytes);
  if (!m_soundBuffer) {
    m_soundDevice.reset();
    return false;
  }
  m_playout.Attach(m_soundBuffer.get());
  return true;
}

void CReceiveAudio::ResetPlayback() {
  ++m_stats.playback_resets;
  m_playout.Reset();
}

void CReceiveAudio::ReleaseSound() {
  if (m_soundBuffer) m_soundBuffer->Stop();
  m_playout.Attach(nullptr);
  m_soundBuffer.reset();
  m_soundDevice.reset();
}

}  // namespace zubr
