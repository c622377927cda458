// The devsim command's options, read from argv by the main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "devsim/devsim.h"

namespace devsim {

struct CommandLine {
  DeviceOptions device;
  std::string port_file;
  std::optional<int> duration_ms;  // none: until SIGINT or SIGTERM
  bool quiet = false;
  bool help = false;
};

// False with *error (one line) for a wrong option or value; a WAV file is read here.
bool ParseCommandLine(int argc, char** argv, CommandLine* out, std::string* error);
extern const char kUsage[];

}  // namespace devsim
