// What the container sees of the control besides its window: IViewObjectEx (the control draws
// nothing), IQuickActivate and IDataObject (no data formats; containers use the view and the
// persistence).
#include "com/control/object.h"

namespace com {

namespace {

// IViewObjectEx: the control draws nothing, so a draw succeeds leaving the target as it was;
// its whole extent is hit-testable.

HRESULT STDMETHODCALLTYPE View_Draw(IViewObjectEx*, DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC,
                                    LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  return bounds != nullptr ? S_OK : E_INVALIDARG;
}
HRESULT STDMETHODCALLTYPE View_GetColorSet(IViewObjectEx*, DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                           LOGPALETTE** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return S_FALSE;  // no palette
}
HRESULT STDMETHODCALLTYPE View_Freeze(IViewObjectEx*, DWORD, LONG, void*, DWORD* freeze) {
  if (freeze != nullptr) *freeze = 0;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE View_Unfreeze(IViewObjectEx*, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE View_SetAdvise(IViewObjectEx* iface, DWORD aspects, DWORD advf, IAdviseSink* sink) {
  SetViewAdvise(impl_from(iface), aspects, advf, sink);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_GetAdvise(IViewObjectEx* iface, DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
  ControlObject* This = impl_from(iface);
  if (aspects != nullptr) *aspects = This->view_aspects;
  if (advf != nullptr) *advf = This->view_advf;
  if (sink != nullptr) {
    *sink = This->view_sink;
    if (*sink != nullptr) IAdviseSink_AddRef(*sink);
  }
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_GetExtent(IViewObjectEx* iface, DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = ExtentOf(*impl_from(iface));
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_GetRect(IViewObjectEx*, DWORD, RECTL*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE View_GetViewStatus(IViewObjectEx*, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = 0;  // nothing drawn: neither opaque nor a solid background
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_QueryHitPoint(IViewObjectEx*, DWORD aspect, LPCRECT bounds, POINT point, LONG,
                                             DWORD* result) {
  if (bounds == nullptr || result == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *result = PtInRect(bounds, point) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_QueryHitRect(IViewObjectEx*, DWORD aspect, LPCRECT bounds, LPCRECT rect, LONG,
                                            DWORD* result) {
  if (bounds == nullptr || rect == nullptr || result == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  RECT overlap;
  *result = IntersectRect(&overlap, bounds, rect) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_GetNaturalExtent(IViewObjectEx*, DWORD, LONG, DVTARGETDEVICE*, HDC,
                                                DVEXTENTINFO*, SIZEL*) {
  return E_NOTIMPL;
}

// IQuickActivate: the container's sinks and site in one call.

HRESULT STDMETHODCALLTYPE Quick_QuickActivate(IQuickActivate* iface, QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  ControlObject* This = impl_from(iface);
  IOleObject_SetClientSite(&This->IOleObject_iface, container->pClientSite);
  if (container->pAdviseSink != nullptr) {
    SetViewAdvise(This, DVASPECT_CONTENT, 0, reinterpret_cast<IAdviseSink*>(container->pAdviseSink));
  }
  control->dwEventCookie = 0;
  control->dwPropNotifyCookie = 0;
  // A sink that refuses the point's interface leaves its cookie 0, as a failed Advise would.
  if (container->pUnkEventSink != nullptr) {
    IConnectionPoint_Advise(&This->EventPoint().IConnectionPoint_iface, container->pUnkEventSink,
                            &control->dwEventCookie);
  }
  if (container->pPropertyNotifySink != nullptr) {
    IConnectionPoint_Advise(&This->PropertyNotifyPoint().IConnectionPoint_iface,
                            reinterpret_cast<IUnknown*>(container->pPropertyNotifySink),
                            &control->dwPropNotifyCookie);
  }
  control->dwMiscStatus = This->cls.misc_status;
  control->dwViewStatus = 0;
  control->dwPointerActivationPolicy = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Quick_SetContentExtent(IQuickActivate* iface, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  SetExtentOf(*impl_from(iface), *size);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Quick_GetContentExtent(IQuickActivate* iface, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  *size = ExtentOf(*impl_from(iface));
  return S_OK;
}

// IDataObject: the control offers no data formats; containers use its view and persistence.

HRESULT STDMETHODCALLTYPE Data_GetData(IDataObject*, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Data_GetDataHere(IDataObject*, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Data_QueryGetData(IDataObject*, FORMATETC*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Data_GetCanonicalFormatEtc(IDataObject*, FORMATETC*, FORMATETC* out) {
  if (out != nullptr) out->ptd = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Data_SetData(IDataObject*, FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Data_EnumFormatEtc(IDataObject*, DWORD, IEnumFORMATETC** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Data_DAdvise(IDataObject*, FORMATETC*, DWORD, IAdviseSink*, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT STDMETHODCALLTYPE Data_DUnadvise(IDataObject*, DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT STDMETHODCALLTYPE Data_EnumDAdvise(IDataObject*, IEnumSTATDATA** out) {
  if (out != nullptr) *out = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

}  // namespace

void SetViewAdvise(ControlObject* This, DWORD aspects, DWORD advf, IAdviseSink* sink) {
  if (sink != nullptr) IAdviseSink_AddRef(sink);
  if (This->view_sink != nullptr) IAdviseSink_Release(This->view_sink);
  This->view_sink = sink;
  This->view_aspects = aspects;
  This->view_advf = advf;
}

const IViewObjectExVtbl kViewObjectExVtbl = {
    Forward_QueryInterface<IViewObjectEx>, Forward_AddRef<IViewObjectEx>, Forward_Release<IViewObjectEx>, View_Draw,
    View_GetColorSet,    View_Freeze,     View_Unfreeze,       View_SetAdvise,
    View_GetAdvise,      View_GetExtent,  View_GetRect,        View_GetViewStatus,
    View_QueryHitPoint,  View_QueryHitRect, View_GetNaturalExtent,
};

const IQuickActivateVtbl kQuickActivateVtbl = {
    Forward_QueryInterface<IQuickActivate>, Forward_AddRef<IQuickActivate>, Forward_Release<IQuickActivate>,
    Quick_QuickActivate, Quick_SetContentExtent, Quick_GetContentExtent,
};

const IDataObjectVtbl kDataObjectVtbl = {
    Forward_QueryInterface<IDataObject>, Forward_AddRef<IDataObject>, Forward_Release<IDataObject>,
    Data_GetData,        Data_GetDataHere,   Data_QueryGetData, Data_GetCanonicalFormatEtc,
    Data_SetData,        Data_EnumFormatEtc, Data_DAdvise,      Data_DUnadvise,
    Data_EnumDAdvise,
};

}  // namespace com
