// Runs a host script against one control. Output lines go to stdout, flushed as written;
// asynchronous lines (event, msgbox) may come from any thread and never interleave.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "automation/members.h"
#include "host/controls.h"
#include "host/script.h"

namespace axhost {

void PrintLine(const std::string& line);

class Host {
 public:
  // How the host waits (sleep, until): a plain sleep unless the host must keep its thread's
  // messages flowing meanwhile.
  using Wait = void (*)(std::uint32_t ms);

  // name prefixes the error messages; factory makes the control at each create.
  Host(std::string name, ControlFactory factory, std::string progid, bool summary, Wait wait = nullptr)
      : name_(std::move(name)), factory_(factory), progid_(std::move(progid)), summary_(summary), wait_(wait) {}
  ~Host();

  // Returns the exit status: 0 when the script ran, 2 on a syntax error, an unknown ProgID
  // or an unknown member (with a message naming the line on stderr).
  int Run(std::FILE* script);

 private:
  // One line; false with *error set for the errors that end the script.
  bool Execute(const std::string& line, std::string* error);
  bool Create(std::string* error);
  void Pause(std::uint32_t ms);
  void Activate();
  void Deactivate();
  void Release();
  automation::HResult GetProperty(const automation::Member& m, automation::Value* out);

  std::string name_;
  ControlFactory factory_;
  std::string progid_;
  bool summary_;  // print the control's summary to stderr at its release
  Wait wait_;
  std::unique_ptr<HostedControl> control_;
  bool active_ = false;
  Params params_;
};

}  // namespace axhost
