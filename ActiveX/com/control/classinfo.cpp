// What the control tells about itself: IProvideClassInfo2 (its class and event interface from
// the module's type library), ISupportErrorInfo, ISpecifyPropertyPages (the class's pages) and
// IObjectSafety (safe for scripting and for initialisation from a page, on every interface).
#include "com/control/object.h"
#include "com/typelib.h"

namespace com {

namespace {

constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

HRESULT STDMETHODCALLTYPE ClassInfo_GetClassInfo(IProvideClassInfo2* iface, ITypeInfo** out) {
  return GetModuleTypeInfo(*impl_from(iface)->cls.clsid, out);
}

HRESULT STDMETHODCALLTYPE ClassInfo_GetGUID(IProvideClassInfo2* iface, DWORD kind, GUID* out) {
  if (out == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *out = GUID_NULL;
    return E_INVALIDARG;
  }
  *out = *impl_from(iface)->cls.events_iid;
  return S_OK;
}

// Only the default interface's methods set error info.
HRESULT STDMETHODCALLTYPE ErrorInfo_InterfaceSupportsErrorInfo(ISupportErrorInfo* iface, REFIID iid) {
  return IsEqualIID(iid, *impl_from(iface)->cls.default_iid) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE Pages_GetPages(ISpecifyPropertyPages* iface, CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  const std::span<const CLSID* const> list = impl_from(iface)->cls.property_pages;
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (list.empty()) return S_OK;
  auto* guids = static_cast<GUID*>(CoTaskMemAlloc(list.size() * sizeof(GUID)));
  if (guids == nullptr) return E_OUTOFMEMORY;
  for (std::size_t i = 0; i < list.size(); ++i) guids[i] = *list[i];
  pages->cElems = static_cast<ULONG>(list.size());
  pages->pElems = guids;
  return S_OK;
}

// Only interfaces the object answers have a safety setting.
HRESULT CheckSafetyInterface(ControlObject* This, REFIID iid) {
  IUnknown* unknown = nullptr;
  if (FAILED(IUnknown_QueryInterface(This->outer, iid, reinterpret_cast<void**>(&unknown)))) return E_NOINTERFACE;
  IUnknown_Release(unknown);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Safety_GetInterfaceSafetyOptions(IObjectSafety* iface, REFIID iid, DWORD* supported,
                                                           DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  ControlObject* This = impl_from(iface);
  const HRESULT hr = CheckSafetyInterface(This, iid);
  if (FAILED(hr)) return hr;
  *supported = kSafetyOptions;
  *enabled = This->safety;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Safety_SetInterfaceSafetyOptions(IObjectSafety* iface, REFIID iid, DWORD mask,
                                                           DWORD enabled) {
  ControlObject* This = impl_from(iface);
  const HRESULT hr = CheckSafetyInterface(This, iid);
  if (FAILED(hr)) return hr;
  if ((mask & ~kSafetyOptions) != 0) return E_FAIL;
  This->safety = (This->safety & ~mask) | (enabled & mask);
  return S_OK;
}

}  // namespace

const IProvideClassInfo2Vtbl kProvideClassInfo2Vtbl = {
    Forward_QueryInterface<IProvideClassInfo2>, Forward_AddRef<IProvideClassInfo2>,
    Forward_Release<IProvideClassInfo2>,        ClassInfo_GetClassInfo,
    ClassInfo_GetGUID,
};

const ISupportErrorInfoVtbl kSupportErrorInfoVtbl = {
    Forward_QueryInterface<ISupportErrorInfo>, Forward_AddRef<ISupportErrorInfo>, Forward_Release<ISupportErrorInfo>,
    ErrorInfo_InterfaceSupportsErrorInfo,
};

const ISpecifyPropertyPagesVtbl kSpecifyPropertyPagesVtbl = {
    Forward_QueryInterface<ISpecifyPropertyPages>, Forward_AddRef<ISpecifyPropertyPages>,
    Forward_Release<ISpecifyPropertyPages>,        Pages_GetPages,
};

const IObjectSafetyVtbl kObjectSafetyVtbl = {
    Forward_QueryInterface<IObjectSafety>, Forward_AddRef<IObjectSafety>, Forward_Release<IObjectSafety>,
    Safety_GetInterfaceSafetyOptions,      Safety_SetInterfaceSafetyOptions,
};

}  // namespace com
