// The COM object around CReceiveAudio, ZubAudioR's one control class.
//
// One struct holds one member per interface and one reference count; every interface forwards
// QueryInterface, AddRef and Release to outer (the aggregating object, or IUnknown_inner).
// Apartment-threaded: every call, window creation and destruction included, arrives on the
// creating thread. The control's window exists from in-place activation to deactivation (or
// Close, or the object's end); its WM_DESTROY ends the control's worker.
#pragma once

#include "com/win.h"

#include "com/connection_points.h"

#include "ZubAudioR.h"
#include "ZubAudioR/ReceiveAudio.h"

namespace zubr {

struct ReceiveAudioObject {
  IUnknown IUnknown_inner;
  IReceiveAudio IReceiveAudio_iface;
  IPersistStreamInit IPersistStreamInit_iface;
  IOleObject IOleObject_iface;
  IOleControl IOleControl_iface;
  IOleInPlaceActiveObject IOleInPlaceActiveObject_iface;
  IViewObjectEx IViewObjectEx_iface;
  IOleInPlaceObjectWindowless IOleInPlaceObjectWindowless_iface;
  ISupportErrorInfo ISupportErrorInfo_iface;
  IConnectionPointContainer IConnectionPointContainer_iface;
  IPersistStorage IPersistStorage_iface;
  ISpecifyPropertyPages ISpecifyPropertyPages_iface;
  IQuickActivate IQuickActivate_iface;
  IDataObject IDataObject_iface;
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
  IAdviseSink* view_sink;    // IViewObject::SetAdvise's one sink
  DWORD view_aspects;
  DWORD view_advf;
  // [0] _IReceiveAudioEvents (never fired), [1] IPropertyNotifySink.
  com::ConnectionPoint points[2];
  // Owned; held by pointer so the object stays standard-layout for offsetof/CONTAINING_RECORD.
  CReceiveAudio* control;
  // IOleObject::Advise's sinks; made by the first Advise, let go with the sites (ReleaseSites).
  IOleAdviseHolder* advise_holder = nullptr;
};

// The three IUnknown methods of interface Iface, forwarding to outer, and impl_from_Iface.
#define ZUBR_FORWARD_IUNKNOWN(prefix, Iface)                                                  \
  ReceiveAudioObject* impl_from_##Iface(Iface* iface) {                                      \
    return CONTAINING_RECORD(iface, ReceiveAudioObject, Iface##_iface);                      \
  }                                                                                          \
  HRESULT STDMETHODCALLTYPE prefix##_QueryInterface(Iface* iface, REFIID iid, void** out) {  \
    return IUnknown_QueryInterface(impl_from_##Iface(iface)->outer, iid, out);               \
  }                                                                                          \
  ULONG STDMETHODCALLTYPE prefix##_AddRef(Iface* iface) {                                    \
    return IUnknown_AddRef(impl_from_##Iface(iface)->outer);                                 \
  }                                                                                          \
  ULONG STDMETHODCALLTYPE prefix##_Release(Iface* iface) {                                   \
    return IUnknown_Release(impl_from_##Iface(iface)->outer);                                \
  }

// The misc status bits the control reports (IOleObject, IQuickActivate).
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;

// Creates one control; outer non-null aggregates it (iid is then IID_IUnknown).
HRESULT CreateReceiveAudio(IUnknown* outer, REFIID iid, void** out);

// The interface groups, one file each.
extern const IPersistStreamInitVtbl kPersistStreamInitVtbl;
extern const IPersistPropertyBagVtbl kPersistPropertyBagVtbl;
extern const IOleObjectVtbl kOleObjectVtbl;
extern const IOleInPlaceObjectWindowlessVtbl kOleInPlaceObjectWindowlessVtbl;
extern const IOleControlVtbl kOleControlVtbl;
extern const IOleInPlaceActiveObjectVtbl kOleInPlaceActiveObjectVtbl;
extern const IViewObjectExVtbl kViewObjectExVtbl;
extern const IQuickActivateVtbl kQuickActivateVtbl;
extern const IPersistStorageVtbl kPersistStorageVtbl;
// Destroys the window and leaves the in-place site; nothing when not active.
void InPlaceDeactivate(ReceiveAudioObject* This);
// Deactivates and releases the client site: the object's end.
void ReleaseSites(ReceiveAudioObject* This);

}  // namespace zubr
