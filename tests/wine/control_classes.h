// The control DLLs the generic COM tests run against, one row each, so a test written once checks
// every deliverable; and the interfaces every control on the kit answers.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>

#include <ostream>
#include <span>

namespace comtest {

struct ControlClass {
  const char* name;  // the test-name suffix
  const wchar_t* dll;
  const CLSID* clsid;
  const wchar_t* progid;
  const IID* default_iid;  // dual
  const char* default_property;  // a long property and its default, read through IDispatch
  LONG default_value;
};

extern const ControlClass kReceiveAudio;
extern const ControlClass kCamCtl;
// Every DLL with a control of its own (the kit's test control has tests of its own).
std::span<const ControlClass> ControlClasses();

// What the kit's control object answers besides its default interface and IDispatch.
std::span<const IID* const> KitInterfaces();

inline std::ostream& operator<<(std::ostream& out, const ControlClass& c) { return out << c.name; }

}  // namespace comtest
