// The control's default interface as IDispatch, driven by the control's member table
// (com/dispatch.h). A dispinterface control has this vtable itself; a dual one has its own,
// whose first seven entries (com/dual.h) and accessor entries come here too.
#include "com/control/object.h"
#include "com/dispatch.h"
#include "com/dual.h"
#include "com/typelib.h"

namespace com {

namespace dual {

HRESULT STDMETHODCALLTYPE DispatchQueryInterface(IDispatch* iface, REFIID iid, void** out) {
  return Forward_QueryInterface(iface, iid, out);
}
ULONG STDMETHODCALLTYPE DispatchAddRef(IDispatch* iface) { return Forward_AddRef(iface); }
ULONG STDMETHODCALLTYPE DispatchRelease(IDispatch* iface) { return Forward_Release(iface); }

HRESULT STDMETHODCALLTYPE DispatchGetTypeInfoCount(IDispatch*, UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchGetTypeInfo(IDispatch* iface, UINT index, LCID, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return GetModuleTypeInfo(*impl_from(iface)->cls.default_iid, out);
}

HRESULT STDMETHODCALLTYPE DispatchGetIDsOfNames(IDispatch* iface, REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                DISPID* ids) {
  return com::DispatchGetIDsOfNames(*impl_from(iface)->control, riid, names, count, ids);
}

HRESULT STDMETHODCALLTYPE DispatchInvoke(IDispatch* iface, DISPID id, REFIID riid, LCID, WORD flags,
                                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  ControlObject* This = impl_from(iface);
  // The control may be let go of by a sink called from the put's notifications.
  IUnknown_AddRef(This->outer);
  const HRESULT hr = com::DispatchInvoke(*This->control, &This->PropertyNotifyPoint(), id, riid, flags, params,
                                         result, excep, arg_err);
  IUnknown_Release(This->outer);
  return hr;
}

HRESULT Run(IDispatch* iface, DISPID id, automation::Access access, const automation::Value* args,
            automation::Value* result) {
  ControlObject* This = impl_from(iface);
  IUnknown_AddRef(This->outer);
  const HRESULT hr = InvokeMember(*This->control, &This->PropertyNotifyPoint(), id, access, args, result);
  IUnknown_Release(This->outer);
  return hr;
}

}  // namespace dual

const IDispatchVtbl kDispatchVtbl = {
    dual::DispatchQueryInterface, dual::DispatchAddRef,        dual::DispatchRelease, dual::DispatchGetTypeInfoCount,
    dual::DispatchGetTypeInfo,    dual::DispatchGetIDsOfNames, dual::DispatchInvoke,
};

}  // namespace com
