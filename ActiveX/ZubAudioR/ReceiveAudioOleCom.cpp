// In-place activation of the receive control (IOleObject, IOleInPlaceObject). The control is
// always windowed: activation asks the site in the documented order (CanInPlaceActivate,
// OnInPlaceActivate, GetWindow, GetWindowContext, then ShowObject on the client site) and
// creates the control's child window; deactivation destroys it, which ends the worker.
#include "ZubAudioR/ReceiveAudioCom.h"

#include "com/control_window.h"

namespace zubr {

namespace {

constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
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

HRESULT STDMETHODCALLTYPE Ole_Close(IOleObject* iface, DWORD) {
  InPlaceDeactivate(impl_from_IOleObject(iface));
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

// The control never changes on its own in ways a container must be told of.
HRESULT STDMETHODCALLTYPE Ole_Advise(IOleObject*, IAdviseSink*, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT STDMETHODCALLTYPE Ole_Unadvise(IOleObject*, DWORD) { return OLE_E_NOCONNECTION; }
HRESULT STDMETHODCALLTYPE Ole_EnumAdvise(IOleObject*, IEnumSTATDATA** out) {
  if (out != nullptr) *out = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE Ole_GetMiscStatus(IOleObject*, DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Ole_SetColorScheme(IOleObject*, LOGPALETTE*) { return E_NOTIMPL; }

ReceiveAudioObject* impl_from_IOleInPlaceObject(IOleInPlaceObject* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IOleInPlaceObject_iface);
}

HRESULT STDMETHODCALLTYPE InPlace_QueryInterface(IOleInPlaceObject* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IOleInPlaceObject(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE InPlace_AddRef(IOleInPlaceObject* iface) {
  return IUnknown_AddRef(impl_from_IOleInPlaceObject(iface)->outer);
}
ULONG STDMETHODCALLTYPE InPlace_Release(IOleInPlaceObject* iface) {
  return IUnknown_Release(impl_from_IOleInPlaceObject(iface)->outer);
}
HRESULT STDMETHODCALLTYPE InPlace_GetWindow(IOleInPlaceObject* iface, HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = impl_from_IOleInPlaceObject(iface)->window;
  return *out != nullptr ? S_OK : E_FAIL;
}
HRESULT STDMETHODCALLTYPE InPlace_ContextSensitiveHelp(IOleInPlaceObject*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlace_InPlaceDeactivate(IOleInPlaceObject* iface) {
  InPlaceDeactivate(impl_from_IOleInPlaceObject(iface));
  return S_OK;
}
HRESULT STDMETHODCALLTYPE InPlace_UIDeactivate(IOleInPlaceObject*) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlace_SetObjectRects(IOleInPlaceObject* iface, LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  HWND window = impl_from_IOleInPlaceObject(iface)->window;
  if (window != nullptr) {
    MoveWindow(window, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  }
  return S_OK;
}
HRESULT STDMETHODCALLTYPE InPlace_ReactivateAndUndo(IOleInPlaceObject*) { return INPLACE_E_NOTUNDOABLE; }

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
}

const IOleObjectVtbl kOleObjectVtbl = {
    Ole_QueryInterface, Ole_AddRef,         Ole_Release,          Ole_SetClientSite,
    Ole_GetClientSite,  Ole_SetHostNames,   Ole_Close,            Ole_SetMoniker,
    Ole_GetMoniker,     Ole_InitFromData,   Ole_GetClipboardData, Ole_DoVerb,
    Ole_EnumVerbs,      Ole_Update,         Ole_IsUpToDate,       Ole_GetUserClassID,
    Ole_GetUserType,    Ole_SetExtent,      Ole_GetExtent,        Ole_Advise,
    Ole_Unadvise,       Ole_EnumAdvise,     Ole_GetMiscStatus,    Ole_SetColorScheme,
};

const IOleInPlaceObjectVtbl kOleInPlaceObjectVtbl = {
    InPlace_QueryInterface,    InPlace_AddRef,           InPlace_Release,
    InPlace_GetWindow,         InPlace_ContextSensitiveHelp, InPlace_InPlaceDeactivate,
    InPlace_UIDeactivate,      InPlace_SetObjectRects,   InPlace_ReactivateAndUndo,
};

}  // namespace zubr
