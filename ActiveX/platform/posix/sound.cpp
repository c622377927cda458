#include "platform/sound.h"

#include "platform/virtual_sound.h"

namespace plat {

std::unique_ptr<SoundOutput> CreateSoundOutput() { return CreateVirtualSoundOutput(); }

}  // namespace plat
