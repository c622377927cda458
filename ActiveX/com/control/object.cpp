// The control object's identity: creation, the non-delegating IUnknown and the interfaces it
// answers.
#include "com/control/object.h"

#include <new>

#include "com/module.h"
#include "com/object.h"

namespace com {

namespace {

#define COM_ENTRY(iid, member) {&iid, offsetof(Interfaces, member)}
// The default interface comes first (its IID is the class's); then these, in this order.
const InterfaceEntry kInterfaces[] = {
    COM_ENTRY(IID_IDispatch, IDispatch_iface),
    COM_ENTRY(IID_IPersistStreamInit, IPersistStreamInit_iface),
    COM_ENTRY(IID_IPersist, IPersistStreamInit_iface),
    COM_ENTRY(IID_IOleControl, IOleControl_iface),
    COM_ENTRY(IID_IOleObject, IOleObject_iface),
    COM_ENTRY(IID_IOleInPlaceActiveObject, IOleInPlaceActiveObject_iface),
    COM_ENTRY(IID_IViewObjectEx, IViewObjectEx_iface),
    COM_ENTRY(IID_IViewObject2, IViewObjectEx_iface),
    COM_ENTRY(IID_IViewObject, IViewObjectEx_iface),
    COM_ENTRY(IID_IOleInPlaceObjectWindowless, IOleInPlaceObjectWindowless_iface),
    COM_ENTRY(IID_IOleInPlaceObject, IOleInPlaceObjectWindowless_iface),
    COM_ENTRY(IID_IOleWindow, IOleInPlaceObjectWindowless_iface),
    COM_ENTRY(IID_ISupportErrorInfo, ISupportErrorInfo_iface),
    COM_ENTRY(IID_IConnectionPointContainer, IConnectionPointContainer_iface),
    COM_ENTRY(IID_IPersistStorage, IPersistStorage_iface),
    COM_ENTRY(IID_ISpecifyPropertyPages, ISpecifyPropertyPages_iface),
    COM_ENTRY(IID_IQuickActivate, IQuickActivate_iface),
    COM_ENTRY(IID_IDataObject, IDataObject_iface),
    COM_ENTRY(IID_IProvideClassInfo2, IProvideClassInfo2_iface),
    COM_ENTRY(IID_IProvideClassInfo, IProvideClassInfo2_iface),
    COM_ENTRY(IID_IPersistPropertyBag, IPersistPropertyBag_iface),
    COM_ENTRY(IID_IObjectSafety, IObjectSafety_iface),
};
#undef COM_ENTRY

ControlObject* impl_from_inner(IUnknown* iface) {
  return static_cast<ControlObject*>(CONTAINING_RECORD(iface, Interfaces, IUnknown_inner));
}

HRESULT STDMETHODCALLTYPE Inner_QueryInterface(IUnknown* iface, REFIID iid, void** out) {
  ControlObject* This = impl_from_inner(iface);
  if (out != nullptr && IsEqualIID(iid, *This->cls.default_iid)) {
    *out = &This->IDispatch_iface;
    IDispatch_AddRef(&This->IDispatch_iface);
    return S_OK;
  }
  return QueryInterfaceFromTable(static_cast<Interfaces*>(This), &This->IUnknown_inner, kInterfaces, iid, out);
}

ULONG STDMETHODCALLTYPE Inner_AddRef(IUnknown* iface) { return InterlockedIncrement(&impl_from_inner(iface)->ref); }

ULONG STDMETHODCALLTYPE Inner_Release(IUnknown* iface) {
  ControlObject* This = impl_from_inner(iface);
  const LONG ref = InterlockedDecrement(&This->ref);
  if (ref == 0) {
    This->ref = 1;  // guards against re-entry through the sites while they are let go
    ReleaseSites(This);
    This->control->SetEventSink(nullptr);
    for (ConnectionPoint& point : This->points) ReleaseConnections(point);
    if (This->view_sink != nullptr) IAdviseSink_Release(This->view_sink);
    delete This;
    ObjectDestroyed();
  }
  return ref;
}

const IUnknownVtbl kInnerVtbl = {Inner_QueryInterface, Inner_AddRef, Inner_Release};

}  // namespace

HRESULT CreateControlObject(const ControlClass& cls, IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* This = new (std::nothrow) ControlObject(cls);
  if (This == nullptr) return E_OUTOFMEMORY;
  This->control = cls.create();
  if (This->control == nullptr) {
    delete This;
    return E_OUTOFMEMORY;
  }
  This->IUnknown_inner.lpVtbl = &kInnerVtbl;
  This->IDispatch_iface.lpVtbl = cls.kind == InterfaceKind::kDual ? static_cast<const IDispatchVtbl*>(cls.dual_vtbl)
                                                                  : &kDispatchVtbl;
  This->IPersistStreamInit_iface.lpVtbl = &kPersistStreamInitVtbl;
  This->IOleObject_iface.lpVtbl = &kOleObjectVtbl;
  This->IOleControl_iface.lpVtbl = &kOleControlVtbl;
  This->IOleInPlaceActiveObject_iface.lpVtbl = &kOleInPlaceActiveObjectVtbl;
  This->IViewObjectEx_iface.lpVtbl = &kViewObjectExVtbl;
  This->IOleInPlaceObjectWindowless_iface.lpVtbl = &kOleInPlaceObjectWindowlessVtbl;
  This->ISupportErrorInfo_iface.lpVtbl = &kSupportErrorInfoVtbl;
  This->IConnectionPointContainer_iface.lpVtbl = &kConnectionPointContainerVtbl;
  This->IPersistStorage_iface.lpVtbl = &kPersistStorageVtbl;
  This->ISpecifyPropertyPages_iface.lpVtbl = &kSpecifyPropertyPagesVtbl;
  This->IQuickActivate_iface.lpVtbl = &kQuickActivateVtbl;
  This->IDataObject_iface.lpVtbl = &kDataObjectVtbl;
  This->IProvideClassInfo2_iface.lpVtbl = &kProvideClassInfo2Vtbl;
  This->IPersistPropertyBag_iface.lpVtbl = &kPersistPropertyBagVtbl;
  This->IObjectSafety_iface.lpVtbl = &kObjectSafetyVtbl;
  This->outer = outer != nullptr ? outer : &This->IUnknown_inner;
  InitConnectionPoint(This->EventPoint(), This->outer, &This->IConnectionPointContainer_iface, *cls.events_iid);
  InitConnectionPoint(This->PropertyNotifyPoint(), This->outer, &This->IConnectionPointContainer_iface,
                      IID_IPropertyNotifySink);
  This->control->SetEventSink(&This->events);
  ObjectCreated();
  const HRESULT hr = Inner_QueryInterface(&This->IUnknown_inner, iid, out);
  Inner_Release(&This->IUnknown_inner);
  return hr;
}

}  // namespace com
