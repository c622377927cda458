// Runs a host script against one control. Output lines go to stdout, flushed as written;
// asynchronous lines (event, msgbox) may come from any thread and never interleave.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "automation/members.h"
#include "host/controls.h"
#include "host/script.h"

namespace axhost {

void PrintLine(const std::string& line);

class Host {
 public:
  Host(std::string progid, bool summary) : progid_(std::move(progid)), summary_(summary) {}
  ~Host();

  // Returns the exit status: 0 when the script ran, 2 on a syntax error, an unknown ProgID
  // or an unknown member (with a message naming the line on stderr).
  int Run(std::FILE* script);

 private:
  // One line; false with *error set for the errors that end the script.
  bool Execute(const std::string& line, std::string* error);
  bool Create(std::string* error);
  void Activate();
  void Deactivate();
  void Release();
  std::string Format(const automation::Value& v) const;
  // The script's word as a value of type t, as a dispatch coercion would make it.
  automation::HResult Coerce(const Word& w, automation::Type t, automation::Value* out) const;
  automation::HResult GetProperty(const automation::Member& m, automation::Value* out);

  std::string progid_;
  bool summary_;  // print the control's summary to stderr at its release
  std::unique_ptr<HostedControl> control_;
  bool active_ = false;
  int window_token_ = 0;  // its address stands for the window handle
  std::vector<std::pair<std::string, Word>> params_;
};

}  // namespace axhost
