// In-place activation and the view of the receive control (IOleObject,
// IOleInPlaceObjectWindowless, IOleInPlaceActiveObject, IOleControl, IViewObjectEx,
// IQuickActivate). The control is always windowed and draws nothing: activation asks the site
// in the documented order (CanInPlaceActivate, OnInPlaceActivate, GetWindow, GetWindowContext,
// then ShowObject on the client site) and creates the control's child window; deactivation
// destroys it, which ends the worker.
#include "ZubAudioR/ReceiveAudioCom.h"

#include "com/control_window.h"

namespace zubr {

namespace {

static_assert(kMiscStatus == 131473);

void WindowDestroyed(void* context) {
  auto* This = static_cast<ReceiveAudioObject*>(context);
  This->window = nullptr;
  This->control->OnDestroyWindow();
}

HRESULT InPlaceActivate(ReceiveAudioObject* This, IOleClientSite* active_site) {
  if (This->inplace != nullptr) return S_OK;
  IOleClientSite* site = active_site != nullptr ? active_site : This->site;
  if (site == nullptr) return E_UNEXPECTED;
  IOleInPlaceSite* inplace = nullptr;
  HRESULT hr = IOleClientSite_QueryInterface(site, IID_IOleInPlaceSite, reinterpret_cast<void**>(&inplace));
  if (FAILED(hr)) return hr;
  if (IOleInPlaceSite_CanInPlaceActivate(inplace) != S_OK) {
    IOleInPlaceSite_Release(inplace);
    return E_FAIL;
  }
  hr = IOleInPlaceSite_OnInPlaceActivate(inplace);
  if (FAILED(hr)) {
    IOleInPlaceSite_Release(inplace);
    return hr;
  }
  HWND parent = nullptr;
  hr = IOleInPlaceSite_GetWindow(inplace, &parent);
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* doc = nullptr;
  RECT position = {0, 0, 0, 0};
  RECT clip = {0, 0, 0, 0};
  OLEINPLACEFRAMEINFO frame_info = {};
  frame_info.cb = sizeof frame_info;
  if (SUCCEEDED(hr)) {
    hr = IOleInPlaceSite_GetWindowContext(inplace, &frame, &doc, &position, &clip, &frame_info);
  }
  // The control keeps no menus or toolbars, so it needs neither frame nor document window.
  if (frame != nullptr) IOleInPlaceFrame_Release(frame);
  if (doc != nullptr) IOleInPlaceUIWindow_Release(doc);
  if (SUCCEEDED(hr)) {
    This->window = com::CreateControlWindow(parent, position, &WindowDestroyed, This);
    if (This->window == nullptr) hr = HRESULT_FROM_WIN32(GetLastError());
  }
  if (FAILED(hr)) {
    IOleInPlaceSite_OnInPlaceDeactivate(inplace);
    IOleInPlaceSite_Release(inplace);
    return FAILED(hr) ? hr : E_FAIL;
  }
  This->inplace = inplace;
  This->control->OnCreateWindow(This->window);
  IOleClientSite_ShowObject(site);
  return S_OK;
}

ReceiveAudioObject* impl_from_IOleObject(IOleObject* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IOleObject_iface);
}

HRESULT STDMETHODCALLTYPE Ole_QueryInterface(IOleObject* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IOleObject(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE Ole_AddRef(IOleObject* iface) { return IUnknown_AddRef(impl_from_IOleObject(iface)->outer); }
ULONG STDMETHODCALLTYPE Ole_Release(IOleObject* iface) { return IUnknown_Release(impl_from_IOleObject(iface)->outer); }

HRESULT STDMETHODCALLTYPE Ole_SetClientSite(IOleObject* iface, IOleClientSite* site) {
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  if (site != nullptr) IOleClientSite_AddRef(site);
  if (This->site != nullptr) IOleClientSite_Release(This->site);
  This->site = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Ole_GetClientSite(IOleObject* iface, IOleClientSite** out) {
  if (out == nullptr) return E_POINTER;
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  *out = This->site;
  if (*out != nullptr) IOleClientSite_AddRef(*out);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Ole_SetHostNames(IOleObject*, LPCOLESTR, LPCOLESTR) { return S_OK; }

// The sinks hear of the close while the control is still active; one that lets go of the
// control from OnClose must not end it under this call.
HRESULT STDMETHODCALLTYPE Ole_Close(IOleObject* iface, DWORD) {
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  IUnknown_AddRef(This->outer);
  if (This->advise_holder != nullptr) IOleAdviseHolder_SendOnClose(This->advise_holder);
  InPlaceDeactivate(This);
  IUnknown_Release(This->outer);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Ole_SetMoniker(IOleObject*, DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Ole_GetMoniker(IOleObject*, DWORD, DWORD, IMoniker** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Ole_InitFromData(IOleObject*, IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Ole_GetClipboardData(IOleObject*, DWORD, IDataObject** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Ole_DoVerb(IOleObject* iface, LONG verb, LPMSG, IOleClientSite* active_site,
                                     LONG, HWND, LPCRECT) {
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(This, active_site);
    case OLEIVERB_HIDE:
      if (This->window != nullptr) ShowWindow(This->window, SW_HIDE);
      return S_OK;
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT STDMETHODCALLTYPE Ole_EnumVerbs(IOleObject*, IEnumOLEVERB** out) {
  return OleRegEnumVerbs(CLSID_ReceiveAudio, out);
}
HRESULT STDMETHODCALLTYPE Ole_Update(IOleObject*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Ole_IsUpToDate(IOleObject*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Ole_GetUserClassID(IOleObject*, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = CLSID_ReceiveAudio;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_GetUserType(IOleObject*, DWORD form, LPOLESTR* out) {
  return OleRegGetUserType(CLSID_ReceiveAudio, form, out);
}

HRESULT STDMETHODCALLTYPE Ole_SetExtent(IOleObject* iface, DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  impl_from_IOleObject(iface)->extent = *size;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_GetExtent(IOleObject* iface, DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = impl_from_IOleObject(iface)->extent;
  return S_OK;
}

// The sinks are kept by OLE's own advise holder, made when the first one arrives; Close is the
// one notification the control sends through it.
HRESULT STDMETHODCALLTYPE Ole_Advise(IOleObject* iface, IAdviseSink* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_INVALIDARG;
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  if (This->advise_holder == nullptr) {
    const HRESULT hr = CreateOleAdviseHolder(&This->advise_holder);
    if (FAILED(hr)) {
      This->advise_holder = nullptr;
      return hr;
    }
  }
  return IOleAdviseHolder_Advise(This->advise_holder, sink, cookie);
}
HRESULT STDMETHODCALLTYPE Ole_Unadvise(IOleObject* iface, DWORD cookie) {
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  if (This->advise_holder == nullptr) return OLE_E_NOCONNECTION;
  return IOleAdviseHolder_Unadvise(This->advise_holder, cookie);
}
// Before the first Advise there is nothing to enumerate: S_OK with no enumerator.
HRESULT STDMETHODCALLTYPE Ole_EnumAdvise(IOleObject* iface, IEnumSTATDATA** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ReceiveAudioObject* This = impl_from_IOleObject(iface);
  if (This->advise_holder == nullptr) return S_OK;
  return IOleAdviseHolder_EnumAdvise(This->advise_holder, out);
}

HRESULT STDMETHODCALLTYPE Ole_GetMiscStatus(IOleObject*, DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_SetColorScheme(IOleObject*, LOGPALETTE*) { return E_NOTIMPL; }

ReceiveAudioObject* impl_from_IOleInPlaceObject(IOleInPlaceObjectWindowless* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IOleInPlaceObjectWindowless_iface);
}

HRESULT STDMETHODCALLTYPE InPlace_QueryInterface(IOleInPlaceObjectWindowless* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IOleInPlaceObject(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE InPlace_AddRef(IOleInPlaceObjectWindowless* iface) {
  return IUnknown_AddRef(impl_from_IOleInPlaceObject(iface)->outer);
}
ULONG STDMETHODCALLTYPE InPlace_Release(IOleInPlaceObjectWindowless* iface) {
  return IUnknown_Release(impl_from_IOleInPlaceObject(iface)->outer);
}
HRESULT STDMETHODCALLTYPE InPlace_GetWindow(IOleInPlaceObjectWindowless* iface, HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = impl_from_IOleInPlaceObject(iface)->window;
  return *out != nullptr ? S_OK : E_FAIL;
}
HRESULT STDMETHODCALLTYPE InPlace_ContextSensitiveHelp(IOleInPlaceObjectWindowless*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlace_InPlaceDeactivate(IOleInPlaceObjectWindowless* iface) {
  InPlaceDeactivate(impl_from_IOleInPlaceObject(iface));
  return S_OK;
}
HRESULT STDMETHODCALLTYPE InPlace_UIDeactivate(IOleInPlaceObjectWindowless*) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlace_SetObjectRects(IOleInPlaceObjectWindowless* iface, LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  HWND window = impl_from_IOleInPlaceObject(iface)->window;
  if (window != nullptr) {
    MoveWindow(window, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}
HRESULT STDMETHODCALLTYPE InPlace_ReactivateAndUndo(IOleInPlaceObjectWindowless*) { return INPLACE_E_NOTUNDOABLE; }
// The control has a window of its own: a container's messages are never its to handle.
HRESULT STDMETHODCALLTYPE InPlace_OnWindowMessage(IOleInPlaceObjectWindowless*, UINT, WPARAM, LPARAM,
                                                  LRESULT* result) {
  if (result != nullptr) *result = 0;
  return S_FALSE;
}
HRESULT STDMETHODCALLTYPE InPlace_GetDropTarget(IOleInPlaceObjectWindowless*, IDropTarget** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return E_NOTIMPL;  // no drag and drop
}

// IOleControl: no mnemonics, no ambient properties it cares about, no events to hold back.

ZUBR_FORWARD_IUNKNOWN(Control, IOleControl)
HRESULT STDMETHODCALLTYPE Control_GetControlInfo(IOleControl*, CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Control_OnMnemonic(IOleControl*, MSG*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Control_OnAmbientPropertyChange(IOleControl*, DISPID) { return S_OK; }
HRESULT STDMETHODCALLTYPE Control_FreezeEvents(IOleControl*, BOOL) { return S_OK; }

// IOleInPlaceActiveObject: no menus, toolbars or accelerators to negotiate.

ZUBR_FORWARD_IUNKNOWN(Active, IOleInPlaceActiveObject)
HRESULT STDMETHODCALLTYPE Active_GetWindow(IOleInPlaceActiveObject* iface, HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = impl_from_IOleInPlaceActiveObject(iface)->window;
  return *out != nullptr ? S_OK : E_FAIL;
}
HRESULT STDMETHODCALLTYPE Active_ContextSensitiveHelp(IOleInPlaceActiveObject*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE Active_TranslateAccelerator(IOleInPlaceActiveObject*, MSG*) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE Active_OnFrameWindowActivate(IOleInPlaceActiveObject*, BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE Active_OnDocWindowActivate(IOleInPlaceActiveObject*, BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE Active_ResizeBorder(IOleInPlaceActiveObject*, LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Active_EnableModeless(IOleInPlaceActiveObject*, BOOL) { return S_OK; }

// IViewObjectEx: the control draws nothing, so a draw succeeds leaving the target as it was;
// its whole extent is hit-testable.

ZUBR_FORWARD_IUNKNOWN(View, IViewObjectEx)
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
  ReceiveAudioObject* This = impl_from_IViewObjectEx(iface);
  if (sink != nullptr) IAdviseSink_AddRef(sink);
  if (This->view_sink != nullptr) IAdviseSink_Release(This->view_sink);
  This->view_sink = sink;
  This->view_aspects = aspects;
  This->view_advf = advf;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE View_GetAdvise(IViewObjectEx* iface, DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
  ReceiveAudioObject* This = impl_from_IViewObjectEx(iface);
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
  *size = impl_from_IViewObjectEx(iface)->extent;
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

ZUBR_FORWARD_IUNKNOWN(Quick, IQuickActivate)
HRESULT STDMETHODCALLTYPE Quick_QuickActivate(IQuickActivate* iface, QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  ReceiveAudioObject* This = impl_from_IQuickActivate(iface);
  IOleObject_SetClientSite(&This->IOleObject_iface, container->pClientSite);
  if (container->pAdviseSink != nullptr) {
    View_SetAdvise(&This->IViewObjectEx_iface, DVASPECT_CONTENT, 0,
                   reinterpret_cast<IAdviseSink*>(container->pAdviseSink));
  }
  control->dwEventCookie = 0;
  control->dwPropNotifyCookie = 0;
  // A sink that refuses the point's interface leaves its cookie 0, as a failed Advise would.
  if (container->pUnkEventSink != nullptr) {
    IConnectionPoint_Advise(&This->points[0].IConnectionPoint_iface, container->pUnkEventSink,
                            &control->dwEventCookie);
  }
  if (container->pPropertyNotifySink != nullptr) {
    IConnectionPoint_Advise(&This->points[1].IConnectionPoint_iface,
                            reinterpret_cast<IUnknown*>(container->pPropertyNotifySink),
                            &control->dwPropNotifyCookie);
  }
  control->dwMiscStatus = kMiscStatus;
  control->dwViewStatus = 0;
  control->dwPointerActivationPolicy = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Quick_SetContentExtent(IQuickActivate* iface, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  impl_from_IQuickActivate(iface)->extent = *size;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Quick_GetContentExtent(IQuickActivate* iface, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  *size = impl_from_IQuickActivate(iface)->extent;
  return S_OK;
}

}  // namespace

void InPlaceDeactivate(ReceiveAudioObject* This) {
  if (This->inplace == nullptr) return;
  IOleInPlaceSite* inplace = This->inplace;
  This->inplace = nullptr;
  if (This->window != nullptr) DestroyWindow(This->window);  // WM_DESTROY ends the worker
  IOleInPlaceSite_OnInPlaceDeactivate(inplace);
  IOleInPlaceSite_Release(inplace);
}

void ReleaseSites(ReceiveAudioObject* This) {
  InPlaceDeactivate(This);
  if (This->site != nullptr) IOleClientSite_Release(This->site);
  This->site = nullptr;
  if (This->advise_holder != nullptr) IOleAdviseHolder_Release(This->advise_holder);
  This->advise_holder = nullptr;
}

const IOleObjectVtbl kOleObjectVtbl = {
    Ole_QueryInterface, Ole_AddRef,         Ole_Release,          Ole_SetClientSite,
    Ole_GetClientSite,  Ole_SetHostNames,   Ole_Close,            Ole_SetMoniker,
    Ole_GetMoniker,     Ole_InitFromData,   Ole_GetClipboardData, Ole_DoVerb,
    Ole_EnumVerbs,      Ole_Update,         Ole_IsUpToDate,       Ole_GetUserClassID,
    Ole_GetUserType,    Ole_SetExtent,      Ole_GetExtent,        Ole_Advise,
    Ole_Unadvise,       Ole_EnumAdvise,     Ole_GetMiscStatus,    Ole_SetColorScheme,
};

const IOleInPlaceObjectWindowlessVtbl kOleInPlaceObjectWindowlessVtbl = {
    InPlace_QueryInterface,    InPlace_AddRef,           InPlace_Release,
    InPlace_GetWindow,         InPlace_ContextSensitiveHelp, InPlace_InPlaceDeactivate,
    InPlace_UIDeactivate,      InPlace_SetObjectRects,   InPlace_ReactivateAndUndo,
    InPlace_OnWindowMessage,   InPlace_GetDropTarget,
};

const IOleControlVtbl kOleControlVtbl = {
    Control_QueryInterface, Control_AddRef, Control_Release, Control_GetControlInfo,
    Control_OnMnemonic, Control_OnAmbientPropertyChange, Control_FreezeEvents,
};

const IOleInPlaceActiveObjectVtbl kOleInPlaceActiveObjectVtbl = {
    Active_QueryInterface,       Active_AddRef,           Active_Release,
    Active_GetWindow,            Active_ContextSensitiveHelp, Active_TranslateAccelerator,
    Active_OnFrameWindowActivate, Active_OnDocWindowActivate, Active_ResizeBorder,
    Active_EnableModeless,
};

const IViewObjectExVtbl kViewObjectExVtbl = {
    View_QueryInterface, View_AddRef,     View_Release,        View_Draw,
    View_GetColorSet,    View_Freeze,     View_Unfreeze,       View_SetAdvise,
    View_GetAdvise,      View_GetExtent,  View_GetRect,        View_GetViewStatus,
    View_QueryHitPoint,  View_QueryHitRect, View_GetNaturalExtent,
};

const IQuickActivateVtbl kQuickActivateVtbl = {
    Quick_QueryInterface, Quick_AddRef, Quick_Release,
    Quick_QuickActivate, Quick_SetContentExtent, Quick_GetContentExtent,
};

}  // namespace zubr
