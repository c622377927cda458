// IOleObject: the client site, activation in place and the extent. The control is always
// windowed and draws nothing: activation asks the site in the documented order
// (CanInPlaceActivate, OnInPlaceActivate, GetWindow, GetWindowContext, then ShowObject on the
// client site) and creates the control's child window, whose creation and destruction the
// portable control hears of (OnCreateWindow, OnDestroyWindow).
#include "com/control/object.h"
#include "com/control_window.h"

namespace com {

namespace {

void WindowDestroyed(void* context) {
  auto* This = static_cast<ControlObject*>(context);
  This->window = nullptr;
  This->events.SetWindow(nullptr);  // events still queued go with the window
  This->control->OnDestroyWindow();
}

void QueuedEvents(void* context) { static_cast<ControlObject*>(context)->events.FireQueued(); }

const WindowCallbacks kWindowCallbacks = {WindowDestroyed, QueuedEvents};

HRESULT InPlaceActivate(ControlObject* This, IOleClientSite* active_site) {
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
    This->window = CreateControlWindow(parent, position, &kWindowCallbacks, This);
    if (This->window == nullptr) hr = HRESULT_FROM_WIN32(GetLastError());
  }
  if (FAILED(hr)) {
    IOleInPlaceSite_OnInPlaceDeactivate(inplace);
    IOleInPlaceSite_Release(inplace);
    return FAILED(hr) ? hr : E_FAIL;
  }
  This->inplace = inplace;
  This->events.SetWindow(This->window);
  This->control->OnCreateWindow(This->window);
  IOleClientSite_ShowObject(site);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Ole_SetClientSite(IOleObject* iface, IOleClientSite* site) {
  ControlObject* This = impl_from(iface);
  if (site != nullptr) IOleClientSite_AddRef(site);
  if (This->site != nullptr) IOleClientSite_Release(This->site);
  This->site = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Ole_GetClientSite(IOleObject* iface, IOleClientSite** out) {
  if (out == nullptr) return E_POINTER;
  ControlObject* This = impl_from(iface);
  *out = This->site;
  if (*out != nullptr) IOleClientSite_AddRef(*out);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Ole_SetHostNames(IOleObject*, LPCOLESTR, LPCOLESTR) { return S_OK; }

// The sinks hear of the close while the control is still active; one that lets go of the
// control from OnClose must not end it under this call.
HRESULT STDMETHODCALLTYPE Ole_Close(IOleObject* iface, DWORD) {
  ControlObject* This = impl_from(iface);
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
  ControlObject* This = impl_from(iface);
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

HRESULT STDMETHODCALLTYPE Ole_EnumVerbs(IOleObject* iface, IEnumOLEVERB** out) {
  return OleRegEnumVerbs(*impl_from(iface)->cls.clsid, out);
}
HRESULT STDMETHODCALLTYPE Ole_Update(IOleObject*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Ole_IsUpToDate(IOleObject*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Ole_GetUserClassID(IOleObject* iface, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = *impl_from(iface)->cls.clsid;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_GetUserType(IOleObject* iface, DWORD form, LPOLESTR* out) {
  return OleRegGetUserType(*impl_from(iface)->cls.clsid, form, out);
}

HRESULT STDMETHODCALLTYPE Ole_SetExtent(IOleObject* iface, DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  SetExtentOf(*impl_from(iface), *size);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_GetExtent(IOleObject* iface, DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = ExtentOf(*impl_from(iface));
  return S_OK;
}

// The sinks are kept by OLE's own advise holder, made when the first one arrives; Close is the
// one notification the control sends through it.
HRESULT STDMETHODCALLTYPE Ole_Advise(IOleObject* iface, IAdviseSink* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_INVALIDARG;
  ControlObject* This = impl_from(iface);
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
  ControlObject* This = impl_from(iface);
  if (This->advise_holder == nullptr) return OLE_E_NOCONNECTION;
  return IOleAdviseHolder_Unadvise(This->advise_holder, cookie);
}
// Before the first Advise there is nothing to enumerate: S_OK with no enumerator.
HRESULT STDMETHODCALLTYPE Ole_EnumAdvise(IOleObject* iface, IEnumSTATDATA** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ControlObject* This = impl_from(iface);
  if (This->advise_holder == nullptr) return S_OK;
  return IOleAdviseHolder_EnumAdvise(This->advise_holder, out);
}

HRESULT STDMETHODCALLTYPE Ole_GetMiscStatus(IOleObject* iface, DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = impl_from(iface)->cls.misc_status;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_SetColorScheme(IOleObject*, LOGPALETTE*) { return E_NOTIMPL; }

}  // namespace

SIZEL ExtentOf(const ControlObject& This) {
  const automation::Control::Extent e = This.control->extent();
  return {static_cast<LONG>(e.cx), static_cast<LONG>(e.cy)};
}

void SetExtentOf(ControlObject& This, const SIZEL& size) {
  This.control->set_extent({static_cast<std::uint32_t>(size.cx), static_cast<std::uint32_t>(size.cy)});
}

void InPlaceDeactivate(ControlObject* This) {
  if (This->inplace == nullptr) return;
  IOleInPlaceSite* inplace = This->inplace;
  This->inplace = nullptr;
  if (This->window != nullptr) DestroyWindow(This->window);  // its WM_DESTROY tells the control
  IOleInPlaceSite_OnInPlaceDeactivate(inplace);
  IOleInPlaceSite_Release(inplace);
}

void ReleaseSites(ControlObject* This) {
  InPlaceDeactivate(This);
  if (This->site != nullptr) IOleClientSite_Release(This->site);
  This->site = nullptr;
  if (This->advise_holder != nullptr) IOleAdviseHolder_Release(This->advise_holder);
  This->advise_holder = nullptr;
}

const IOleObjectVtbl kOleObjectVtbl = {
    Forward_QueryInterface<IOleObject>, Forward_AddRef<IOleObject>, Forward_Release<IOleObject>, Ole_SetClientSite,
    Ole_GetClientSite,  Ole_SetHostNames,   Ole_Close,            Ole_SetMoniker,
    Ole_GetMoniker,     Ole_InitFromData,   Ole_GetClipboardData, Ole_DoVerb,
    Ole_EnumVerbs,      Ole_Update,         Ole_IsUpToDate,       Ole_GetUserClassID,
    Ole_GetUserType,    Ole_SetExtent,      Ole_GetExtent,        Ole_Advise,
    Ole_Unadvise,       Ole_EnumAdvise,     Ole_GetMiscStatus,    Ole_SetColorScheme,
};

}  // namespace com
