// Win32 only, for tests: the DirectSound buffer behind a ring of the platform's sound output, so
// a test can read back what the ring's methods did (volume, status, caps, the bytes written).
#pragma once

#include "platform/sound.h"

struct IDirectSoundBuffer8;

namespace plat {

// The ring's buffer, not AddRef'd (valid while the ring lives); null for a ring of another device.
IDirectSoundBuffer8* DirectSoundBufferOf(SoundRing& ring);

}  // namespace plat
