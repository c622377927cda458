// axhost [OPTIONS] PROGID [SCRIPT]: creates a control by ProgID and runs a host script.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/script.h"
#include "passthrough/util/Util_LogCenter.h"
#include "passthrough/util/Util_LogWriter.h"
#include "platform/message_box.h"
#include "platform/virtual_sound.h"

namespace {

void PrintMessageBox(const char* caption, const char* text) {
  axhost::PrintLine(std::string("msgbox ") + caption + ": " + axhost::EscapeBody(text));
}

// Writes every record of the passthrough utilities, at every level, to path ("-": standard
// error). Lives for the whole process: the log center keeps it registered.
bool AttachLogWriter(const std::string& path) {
  auto* writer = new Util_LogWriter;
  if (!writer->open(path)) {
    std::fprintf(stderr, "axhost: cannot open log %s\n", path.c_str());
    delete writer;
    return false;
  }
  constexpr int kHostListenerKey = 0;
  writer->attachToAllLevels(Util_LogCenter::instance(), kHostListenerKey);
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: axhost [--playback-wav FILE] [--capture-wav FILE] [--no-sound] [--summary] [--log FILE|-] PROGID [SCRIPT]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  plat::VirtualSoundConfig sound;
  bool summary = false;
  std::string capture_wav;  // fed to the virtual capture device once a control records
  std::string log_path;     // empty: the utilities' records are dropped, as delivered
  int i = 1;
  for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
    const std::string opt = argv[i];
    if (opt == "--no-sound") sound.no_device = true;
    else if (opt == "--summary") summary = true;
    else if (opt == "--playback-wav" && i + 1 < argc) sound.playback_wav = argv[++i];
    else if (opt == "--capture-wav" && i + 1 < argc) capture_wav = argv[++i];
    else if (opt == "--log" && i + 1 < argc) log_path = argv[++i];
    else return Usage();
  }
  if (i >= argc || argc - i > 2) return Usage();
  const std::string progid = argv[i];
  std::FILE* script = stdin;
  if (i + 1 < argc) {
    script = std::fopen(argv[i + 1], "r");
    if (!script) {
      std::fprintf(stderr, "axhost: cannot open %s\n", argv[i + 1]);
      return 2;
    }
  }
  if (!log_path.empty() && !AttachLogWriter(log_path)) return 2;
  plat::ConfigureVirtualSound(sound);
  plat::SetMessageBoxHandler(&PrintMessageBox);
  int status;
  {
    axhost::Host host("axhost", &axhost::CreateControl, progid, summary);
    if (!axhost::CreateControl(progid)) {
      std::fprintf(stderr, "axhost: unknown ProgID %s\n", progid.c_str());
      return 2;
    }
    status = host.Run(script);
  }
  plat::FinishVirtualSoundRecording();
  if (script != stdin) std::fclose(script);
  return status;
}
