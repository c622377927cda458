// A container of the tests' own for the controls that play (over ole_container.h): the devsims
// the script started, and a receive control held in a site of its own.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ZubAudioR.h"
#include "ole_container.h"

namespace comtest {

// A devsim port the test script exported (ZUB_DEVSIM_PORT_A / _B); 0 when it is missing.
int DevsimPort(const char* variable);
// PeakValue while a tone of this peak amplitude plays: the level code of its largest sample.
int PeakOfTone(int amplitude);

// A control held by the container in its own site: IOleObject for activation, IReceiveAudio to
// drive it. The destructor closes and releases it unless Release already did.
class HostedControl {
 public:
  // Takes over the caller's reference to unknown.
  HostedControl(HWND parent, const RECT& position, IUnknown* unknown);
  ~HostedControl();
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;

  bool Valid() const { return object_ != nullptr && control_ != nullptr; }
  IReceiveAudio* operator->() const { return control_; }
  IOleObject* Object() const { return object_; }
  Site& SiteOf() { return site_; }

  // SetClientSite, then OLEIVERB_INPLACEACTIVATE.
  HRESULT Activate();
  // IOleInPlaceObject::InPlaceDeactivate.
  HRESULT Deactivate();
  // The control's own window; null when it has none.
  HWND Window() const;
  // IP "127.0.0.1" and the port.
  HRESULT PointAt(int port);
  // PeakValue; -1 when it cannot be read.
  int Peak() const;
  // The container lets go of its last reference as it is, without closing it first.
  void Release();

 private:
  Site site_;
  IOleObject* object_ = nullptr;
  IReceiveAudio* control_ = nullptr;
};

}  // namespace comtest
