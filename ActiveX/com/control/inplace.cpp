// The in-place object's small interfaces: IOleInPlaceObjectWindowless (the window, its place,
// deactivation), IOleInPlaceActiveObject and IOleControl. The control has no menus, toolbars,
// accelerators or mnemonics to negotiate.
#include "com/control/object.h"

namespace com {

namespace {

HRESULT STDMETHODCALLTYPE InPlace_GetWindow(IOleInPlaceObjectWindowless* iface, HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = impl_from(iface)->window;
  return *out != nullptr ? S_OK : E_FAIL;
}
HRESULT STDMETHODCALLTYPE InPlace_ContextSensitiveHelp(IOleInPlaceObjectWindowless*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlace_InPlaceDeactivate(IOleInPlaceObjectWindowless* iface) {
  InPlaceDeactivate(impl_from(iface));
  return S_OK;
}
HRESULT STDMETHODCALLTYPE InPlace_UIDeactivate(IOleInPlaceObjectWindowless*) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlace_SetObjectRects(IOleInPlaceObjectWindowless* iface, LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  HWND window = impl_from(iface)->window;
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

HRESULT STDMETHODCALLTYPE Active_GetWindow(IOleInPlaceActiveObject* iface, HWND* out) {
  if (out == nullptr) return E_POINTER;
  *out = impl_from(iface)->window;
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

}  // namespace

const IOleInPlaceObjectWindowlessVtbl kOleInPlaceObjectWindowlessVtbl = {
    Forward_QueryInterface<IOleInPlaceObjectWindowless>, Forward_AddRef<IOleInPlaceObjectWindowless>,
    Forward_Release<IOleInPlaceObjectWindowless>,
    InPlace_GetWindow,         InPlace_ContextSensitiveHelp, InPlace_InPlaceDeactivate,
    InPlace_UIDeactivate,      InPlace_SetObjectRects,   InPlace_ReactivateAndUndo,
    InPlace_OnWindowMessage,   InPlace_GetDropTarget,
};

const IOleControlVtbl kOleControlVtbl = {
    Forward_QueryInterface<IOleControl>, Forward_AddRef<IOleControl>, Forward_Release<IOleControl>, Control_GetControlInfo,
    Control_OnMnemonic, Control_OnAmbientPropertyChange, Control_FreezeEvents,
};

const IOleInPlaceActiveObjectVtbl kOleInPlaceActiveObjectVtbl = {
    Forward_QueryInterface<IOleInPlaceActiveObject>, Forward_AddRef<IOleInPlaceActiveObject>,
    Forward_Release<IOleInPlaceActiveObject>,
    Active_GetWindow,            Active_ContextSensitiveHelp, Active_TranslateAccelerator,
    Active_OnFrameWindowActivate, Active_OnDocWindowActivate, Active_ResizeBorder,
    Active_EnableModeless,
};

}  // namespace com
