// container PROGID [SCRIPT]: the Windows test container. Creates the registered control named by
// PROGID and runs a host script against it (standard input without SCRIPT), printing what the
// native host prints for the same script.
#include <winsock2.h>
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "com_control.h"
#include "host/host.h"
#include "host/script.h"
#include "ole_container.h"

int main(int argc, char** argv) {
  // The output is compared byte for byte with the native host's: no CR before each LF.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2 || argc > 3 || std::strncmp(argv[1], "--", 2) == 0) {
    std::fprintf(stderr, "usage: container PROGID [SCRIPT]\n");
    return 2;
  }
  const std::string progid = argv[1];
  std::FILE* script = stdin;
  if (argc == 3 && (script = std::fopen(argv[2], "rb")) == nullptr) {
    std::fprintf(stderr, "container: cannot open %s\n", argv[2]);
    return 2;
  }
  if (FAILED(OleInitialize(nullptr))) {
    std::fprintf(stderr, "container: OleInitialize failed\n");
    return 1;
  }
  int status = 2;
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(container::Wide(progid).c_str(), &clsid))) {
    std::fprintf(stderr, "container: unknown ProgID %s\n", progid.c_str());
  } else {
    // Printed before the box is pressed, so the line comes before the call's own.
    comtest::MessageBoxWatcher boxes([](const std::wstring& caption, const std::wstring& text) {
      axhost::PrintLine("msgbox " + container::Utf8(caption) + ": " + axhost::EscapeBody(container::Utf8(text)));
    });
    // Waiting pumps messages, as a page's container does all the time.
    axhost::Host host("container", &container::CreateComControl, progid, false,
                      [](std::uint32_t ms) { comtest::PumpFor(ms); });
    status = host.Run(script);
  }
  if (script != stdin) std::fclose(script);
  OleUninitialize();
  return status;
}
