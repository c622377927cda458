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

namespace {

// The function a call reaches: a method when one is asked for and exists, else the property
// access the flags name. False when the member has no such function.
bool FindTarget(ITypeInfo* info, DISPID id, WORD flags, FUNCDESC** out) {
  TYPEATTR* attr = nullptr;
  if (FAILED(ITypeInfo_GetTypeAttr(info, &attr))) return false;
  const WORD functions = attr->cFuncs;
  ITypeInfo_ReleaseTypeAttr(info, attr);
  const INVOKEKIND order[] = {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF};
  const WORD wanted[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF};
  for (int k = 0; k < 4; ++k) {
    if (!(flags & wanted[k])) continue;
    for (UINT i = 0; i < functions; ++i) {
      FUNCDESC* fd = nullptr;
      if (FAILED(ITypeInfo_GetFuncDesc(info, i, &fd))) continue;
      if (fd->memid == id && fd->invkind == order[k]) {
        *out = fd;
        return true;
      }
      ITypeInfo_ReleaseFuncDesc(info, fd);
    }
  }
  return false;
}

// The argument checks of a dispatch call, made here so that every system answers alike (wine's
// ITypeInfo::Invoke lets surplus arguments through and never names the refused one): the count
// must match, a put takes exactly its one value named DISPID_PROPERTYPUT, and an argument that
// cannot be coerced to its parameter's type is named in *arg_err.
HRESULT CheckArguments(const FUNCDESC& fd, const DISPPARAMS& params, UINT* arg_err) {
  UINT inputs = 0;
  for (SHORT p = 0; p < fd.cParams; ++p)
    if (!(fd.lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++inputs;
  const bool put = fd.invkind == INVOKE_PROPERTYPUT || fd.invkind == INVOKE_PROPERTYPUTREF;
  if (put) {
    if (params.cNamedArgs != 1 || params.rgdispidNamedArgs == nullptr ||
        params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTFOUND;
  } else if (params.cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  if (params.cArgs != inputs) return DISP_E_BADPARAMCOUNT;
  if (params.cArgs > 0 && params.rgvarg == nullptr) return E_INVALIDARG;
  // rgvarg holds the arguments last first.
  for (UINT p = 0; p < inputs; ++p) {
    const UINT slot = inputs - 1 - p;
    VARTYPE want = fd.lprgelemdescParam[p].tdesc.vt;
    if (want == VT_VARIANT || want == VT_PTR || want == VT_USERDEFINED) continue;  // not ours to judge
    VARIANT probe;
    VariantInit(&probe);
    const HRESULT hr = VariantChangeType(&probe, &params.rgvarg[slot], 0, want);
    VariantClear(&probe);
    if (FAILED(hr)) {
      if (arg_err != nullptr) *arg_err = slot;
      return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT DispatchInvoke(REFIID dual, void* iface, DISPID id, REFIID reserved, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  if (!IsEqualIID(reserved, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  ITypeInfo* info = nullptr;
  HRESULT hr = GetModuleTypeInfo(dual, &info);
  if (FAILED(hr)) return hr;
  FUNCDESC* target = nullptr;
  if (FindTarget(info, id, flags, &target)) {
    hr = CheckArguments(*target, *params, arg_err);
    ITypeInfo_ReleaseFuncDesc(info, target);
    if (FAILED(hr)) {
      ITypeInfo_Release(info);
      return hr;
    }
  }
  hr = ITypeInfo_Invoke(info, iface, id, flags, params, result, excep, arg_err);
  ITypeInfo_Release(info);
  return hr;
}

}  // namespace com
