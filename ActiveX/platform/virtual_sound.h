// The virtual sound output: a looping ring whose play cursor runs on the real clock at the
// ring's byte rate. It applies the attenuation and can record everything it plays (silence
// included, from the output's creation to its release) to a 16-bit PCM WAV file.
#pragma once

#include <memory>
#include <string>

#include "sound.h"

namespace plat {

struct VirtualSoundConfig {
  bool no_device = false;     // CreateSoundOutput fails, as on a PC without sound hardware
  std::string playback_wav;   // record here when not empty
};

// Set by the host before any control opens sound.
void ConfigureVirtualSound(const VirtualSoundConfig& config);
const VirtualSoundConfig& VirtualSoundSettings();
// Completes the recording file; devices still open keep playing unrecorded.
void FinishVirtualSoundRecording();

std::unique_ptr<SoundOutput> CreateVirtualSoundOutput();

}  // namespace plat
