// The COM object around CReceiveAudio, ZubAudioR's one control class.
//
// One struct holds one member per interface and one reference count; every interface forwards
// QueryInterface, AddRef and Release to outer (the aggregating object, or IUnknown_inner).
// Apartment-threaded: every call, window creation and destruction included, arrives on the
// creating thread. The control's window exists from in-place activation to deactivation (or
// Close, or the object's end); its WM_DESTROY ends the control's worker.
#pragma once

#include "com/win.h"

#include "ZubAudioR.h"
#include "ZubAudioR/ReceiveAudio.h"

namespace zubr {

struct ReceiveAudioObject {
  IUnknown IUnknown_inner;
  IReceiveAudio IReceiveAudio_iface;
  IPersistStreamInit IPersistStreamInit_iface;
  IOleObject IOleObject_iface;
  IOleInPlaceObject IOleInPlaceObject_iface;
  IProvideClassInfo2 IProvideClassInfo2_iface;
  IPersistPropertyBag IPersistPropertyBag_iface;
  IObjectSafety IObjectSafety_iface;
  IUnknown* outer;
  LONG ref;
  DWORD safety;              // enabled IObjectSafety options
  IOleClientSite* site;      // from SetClientSite
  IOleInPlaceSite* inplace;  // while in-place active
  HWND window;
  SIZEL extent;              // HIMETRIC, as the container set it
  // Owned; held by pointer so the object stays standard-layout for offsetof/CONTAINING_RECORD.
  CReceiveAudio* control;
};

// Creates one control; outer non-null aggregates it (iid is then IID_IUnknown).
HRESULT CreateReceiveAudio(IUnknown* outer, REFIID iid, void** out);

// The interface groups, one file each.
extern const IPersistStreamInitVtbl kPersistStreamInitVtbl;
extern const IPersistPropertyBagVtbl kPersistPropertyBagVtbl;
extern const IOleObjectVtbl kOleObjectVtbl;
extern const IOleInPlaceObjectVtbl kOleInPlaceObjectVtbl;
// Destroys the window and leaves the in-place site; nothing when not active.
void InPlaceDeactivate(ReceiveAudioObject* This);
// Deactivates and releases the client site: the object's end.
void ReleaseSites(ReceiveAudioObject* This);

}  // namespace zubr
