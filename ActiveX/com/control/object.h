// The kit's control object: the one COM object every control class is, made from its
// ControlClass. Private to the kit; a deliverable sees only control_class.h, dual.h and server.h.
//
// Interfaces holds one member per interface, so CONTAINING_RECORD finds the object from any of
// them; ControlObject adds the state. One reference count, kept by IUnknown_inner; every other
// interface forwards QueryInterface, AddRef and Release to outer (the aggregating object, or
// IUnknown_inner). Apartment-threaded: every call, window creation and destruction included,
// arrives on the creating thread; only the control's events may come from other threads
// (events.cpp). The window exists from in-place activation to deactivation (or Close, or the
// object's end).
#pragma once

#include "com/win.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <type_traits>
#include <vector>

#include "automation/members.h"
#include "com/connection_points.h"
#include "com/control_class.h"

namespace com {

struct Interfaces {
  IUnknown IUnknown_inner;
  IDispatch IDispatch_iface;  // the default interface: the dual's own vtable, or the generic IDispatch
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
};
static_assert(std::is_standard_layout_v<Interfaces>, "offsetof needs it");

struct ControlObject;

// Delivers the portable control's events (events.cpp). Fired on the object's thread, an event
// goes straight to each sink of the default source point (IDispatch::Invoke, DISPATCH_METHOD).
// Fired on any other thread, it is never passed to a sink there: a copy is queued and the
// control's window is woken (PostMessage), whose procedure fires it on the object's thread.
// Without a window (before activation, after deactivation) such an event is dropped, and events
// still queued when the window goes are dropped with it.
class EventRelay final : public automation::EventSink {
 public:
  explicit EventRelay(ControlObject* owner) : owner_(owner) {}
  void Fire(std::int32_t dispid, std::span<const automation::Value> args) override;
  // Window creation and destruction, on the object's thread. Events queued when the window goes
  // are dropped with it.
  void SetWindow(HWND window);
  // The window procedure's part: fires what other threads queued.
  void FireQueued();

 private:
  struct Queued {
    std::int32_t dispid;
    std::vector<automation::Value> args;
  };
  ControlObject* owner_;
  std::mutex lock_;
  HWND window_ = nullptr;  // under lock_: other threads post to it
  std::deque<Queued> queue_;
};

struct ControlObject : Interfaces {
  explicit ControlObject(const ControlClass& c) : cls(c), events(this) {}

  const ControlClass& cls;
  IUnknown* outer = nullptr;
  LONG ref = 1;
  DWORD thread = GetCurrentThreadId();  // the apartment's: events from elsewhere go through the window
  EventRelay events;
  // Declared after events, so it goes first: a control ends its threads before the relay goes.
  std::unique_ptr<automation::Control> control;
  DWORD safety = 0;                     // enabled IObjectSafety options
  IOleClientSite* site = nullptr;       // from SetClientSite
  IOleInPlaceSite* inplace = nullptr;   // while in-place active
  HWND window = nullptr;
  IAdviseSink* view_sink = nullptr;     // IViewObject::SetAdvise's one sink
  DWORD view_aspects = 0;
  DWORD view_advf = 0;
  // [0] the default source interface, [1] IPropertyNotifySink.
  ConnectionPoint points[2];
  // IOleObject::Advise's sinks; made by the first Advise, let go with the sites (ReleaseSites).
  IOleAdviseHolder* advise_holder = nullptr;

  ConnectionPoint& EventPoint() { return points[0]; }
  ConnectionPoint& PropertyNotifyPoint() { return points[1]; }
};

// Where each interface sits in the object; one row per interface type the object holds.
template <class I> inline constexpr std::size_t kSlot = 0;
template <> inline constexpr std::size_t kSlot<IDispatch> = offsetof(Interfaces, IDispatch_iface);
template <> inline constexpr std::size_t kSlot<IPersistStreamInit> = offsetof(Interfaces, IPersistStreamInit_iface);
template <> inline constexpr std::size_t kSlot<IOleObject> = offsetof(Interfaces, IOleObject_iface);
template <> inline constexpr std::size_t kSlot<IOleControl> = offsetof(Interfaces, IOleControl_iface);
template <>
inline constexpr std::size_t kSlot<IOleInPlaceActiveObject> = offsetof(Interfaces, IOleInPlaceActiveObject_iface);
template <> inline constexpr std::size_t kSlot<IViewObjectEx> = offsetof(Interfaces, IViewObjectEx_iface);
template <>
inline constexpr std::size_t kSlot<IOleInPlaceObjectWindowless> =
    offsetof(Interfaces, IOleInPlaceObjectWindowless_iface);
template <> inline constexpr std::size_t kSlot<ISupportErrorInfo> = offsetof(Interfaces, ISupportErrorInfo_iface);
template <>
inline constexpr std::size_t kSlot<IConnectionPointContainer> = offsetof(Interfaces, IConnectionPointContainer_iface);
template <> inline constexpr std::size_t kSlot<IPersistStorage> = offsetof(Interfaces, IPersistStorage_iface);
template <>
inline constexpr std::size_t kSlot<ISpecifyPropertyPages> = offsetof(Interfaces, ISpecifyPropertyPages_iface);
template <> inline constexpr std::size_t kSlot<IQuickActivate> = offsetof(Interfaces, IQuickActivate_iface);
template <> inline constexpr std::size_t kSlot<IDataObject> = offsetof(Interfaces, IDataObject_iface);
template <> inline constexpr std::size_t kSlot<IProvideClassInfo2> = offsetof(Interfaces, IProvideClassInfo2_iface);
template <> inline constexpr std::size_t kSlot<IPersistPropertyBag> = offsetof(Interfaces, IPersistPropertyBag_iface);
template <> inline constexpr std::size_t kSlot<IObjectSafety> = offsetof(Interfaces, IObjectSafety_iface);

template <class I> ControlObject* impl_from(I* iface) {
  static_assert(kSlot<I> != 0, "not an interface of the control object");
  auto* base = reinterpret_cast<Interfaces*>(reinterpret_cast<char*>(iface) - kSlot<I>);
  return static_cast<ControlObject*>(base);
}

// The three IUnknown entries of every interface but the inner one: they forward to outer.
template <class I> HRESULT STDMETHODCALLTYPE Forward_QueryInterface(I* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from(iface)->outer, iid, out);
}
template <class I> ULONG STDMETHODCALLTYPE Forward_AddRef(I* iface) {
  return IUnknown_AddRef(impl_from(iface)->outer);
}
template <class I> ULONG STDMETHODCALLTYPE Forward_Release(I* iface) {
  return IUnknown_Release(impl_from(iface)->outer);
}

// Creates one object of the class; outer non-null aggregates it (iid is then IID_IUnknown).
HRESULT CreateControlObject(const ControlClass& cls, IUnknown* outer, REFIID iid, void** out);

// The interface groups, one file each.
extern const IDispatchVtbl kDispatchVtbl;                                      // dispatch.cpp
extern const IConnectionPointContainerVtbl kConnectionPointContainerVtbl;      // events.cpp
extern const IOleObjectVtbl kOleObjectVtbl;                                    // oleobject.cpp
extern const IOleInPlaceObjectWindowlessVtbl kOleInPlaceObjectWindowlessVtbl;  // inplace.cpp
extern const IOleInPlaceActiveObjectVtbl kOleInPlaceActiveObjectVtbl;
extern const IOleControlVtbl kOleControlVtbl;
extern const IViewObjectExVtbl kViewObjectExVtbl;                              // view.cpp
extern const IQuickActivateVtbl kQuickActivateVtbl;
extern const IDataObjectVtbl kDataObjectVtbl;
extern const IPersistStreamInitVtbl kPersistStreamInitVtbl;                    // persist.cpp
extern const IPersistStorageVtbl kPersistStorageVtbl;
extern const IPersistPropertyBagVtbl kPersistPropertyBagVtbl;
extern const IProvideClassInfo2Vtbl kProvideClassInfo2Vtbl;                    // classinfo.cpp
extern const ISupportErrorInfoVtbl kSupportErrorInfoVtbl;
extern const ISpecifyPropertyPagesVtbl kSpecifyPropertyPagesVtbl;
extern const IObjectSafetyVtbl kObjectSafetyVtbl;

// oleobject.cpp: destroys the window and leaves the in-place site; nothing when not active.
void InPlaceDeactivate(ControlObject* This);
// Deactivates and releases the client site: the object's end.
void ReleaseSites(ControlObject* This);
// The extent lives in the portable control (some persist it); HIMETRIC both.
SIZEL ExtentOf(const ControlObject& This);
void SetExtentOf(ControlObject& This, const SIZEL& size);
// view.cpp's IViewObject::SetAdvise, which IQuickActivate uses too.
void SetViewAdvise(ControlObject* This, DWORD aspects, DWORD advf, IAdviseSink* sink);

}  // namespace com
