#include "com/dispatch.h"

#include "com/typelib.h"

namespace com {

HRESULT DispatchGetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT DispatchGetTypeInfo(REFIID dual, UINT index, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return GetModuleTypeInfo(dual, out);
}

HRESULT DispatchGetIDsOfNames(REFIID dual, REFIID reserved, LPOLESTR* names, UINT count,
                              DISPID* ids) {
  if (!IsEqualIID(reserved, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetModuleTypeInfo(dual, &info);
  if (FAILED(hr)) return hr;
  hr = DispGetIDsOfNames(info, names, count, ids);
  ITypeInfo_Release(info);
  return hr;
}

HRESULT DispatchInvoke(REFIID dual, void* iface, DISPID id, REFIID reserved, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  if (!IsEqualIID(reserved, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetModuleTypeInfo(dual, &info);
  if (FAILED(hr)) return hr;
  hr = ITypeInfo_Invoke(info, iface, id, flags, params, result, excep, arg_err);
  ITypeInfo_Release(info);
  return hr;
}

}  // namespace com
