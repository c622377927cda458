// The receive control's identity, IReceiveAudio, object safety, class info, error info,
// property pages (none), data (none) and its connection point container.
#include "ZubAudioR/ReceiveAudioCom.h"

#include <cstddef>
#include <new>
#include <string>
#include <type_traits>

#include "com/dispatch.h"
#include "com/module.h"
#include "com/object.h"
#include "com/text.h"
#include "com/typelib.h"

namespace zubr {

namespace {

constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

ReceiveAudioObject* impl_from_IUnknown(IUnknown* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IUnknown_inner);
}

static_assert(std::is_standard_layout_v<ReceiveAudioObject>, "offsetof and CONTAINING_RECORD need it");

// The interfaces the control answers besides IUnknown.
#define ZUBR_ENTRY(iid, member) {&iid, offsetof(ReceiveAudioObject, member)}
const com::InterfaceEntry kInterfaces[] = {
    ZUBR_ENTRY(IID_IReceiveAudio, IReceiveAudio_iface),
    ZUBR_ENTRY(IID_IDispatch, IReceiveAudio_iface),
    ZUBR_ENTRY(IID_IPersistStreamInit, IPersistStreamInit_iface),
    ZUBR_ENTRY(IID_IPersist, IPersistStreamInit_iface),
    ZUBR_ENTRY(IID_IOleControl, IOleControl_iface),
    ZUBR_ENTRY(IID_IOleObject, IOleObject_iface),
    ZUBR_ENTRY(IID_IOleInPlaceActiveObject, IOleInPlaceActiveObject_iface),
    ZUBR_ENTRY(IID_IViewObjectEx, IViewObjectEx_iface),
    ZUBR_ENTRY(IID_IViewObject2, IViewObjectEx_iface),
    ZUBR_ENTRY(IID_IViewObject, IViewObjectEx_iface),
    ZUBR_ENTRY(IID_IOleInPlaceObjectWindowless, IOleInPlaceObjectWindowless_iface),
    ZUBR_ENTRY(IID_IOleInPlaceObject, IOleInPlaceObjectWindowless_iface),
    ZUBR_ENTRY(IID_IOleWindow, IOleInPlaceObjectWindowless_iface),
    ZUBR_ENTRY(IID_ISupportErrorInfo, ISupportErrorInfo_iface),
    ZUBR_ENTRY(IID_IConnectionPointContainer, IConnectionPointContainer_iface),
    ZUBR_ENTRY(IID_IPersistStorage, IPersistStorage_iface),
    ZUBR_ENTRY(IID_ISpecifyPropertyPages, ISpecifyPropertyPages_iface),
    ZUBR_ENTRY(IID_IQuickActivate, IQuickActivate_iface),
    ZUBR_ENTRY(IID_IDataObject, IDataObject_iface),
    ZUBR_ENTRY(IID_IProvideClassInfo2, IProvideClassInfo2_iface),
    ZUBR_ENTRY(IID_IProvideClassInfo, IProvideClassInfo2_iface),
    ZUBR_ENTRY(IID_IPersistPropertyBag, IPersistPropertyBag_iface),
    ZUBR_ENTRY(IID_IObjectSafety, IObjectSafety_iface),
};
#undef ZUBR_ENTRY

HRESULT STDMETHODCALLTYPE Inner_QueryInterface(IUnknown* iface, REFIID iid, void** out) {
  ReceiveAudioObject* This = impl_from_IUnknown(iface);
  return com::QueryInterfaceFromTable(This, &This->IUnknown_inner, kInterfaces, iid, out);
}

ULONG STDMETHODCALLTYPE Inner_AddRef(IUnknown* iface) {
  return InterlockedIncrement(&impl_from_IUnknown(iface)->ref);
}

ULONG STDMETHODCALLTYPE Inner_Release(IUnknown* iface) {
  ReceiveAudioObject* This = impl_from_IUnknown(iface);
  const LONG ref = InterlockedDecrement(&This->ref);
  if (ref == 0) {
    This->ref = 1;  // guards against re-entry through the sites while they are let go
    ReleaseSites(This);
    for (com::ConnectionPoint& point : This->points) com::ReleaseConnections(point);
    if (This->view_sink != nullptr) IAdviseSink_Release(This->view_sink);
    delete This->control;
    delete This;
    com::ObjectDestroyed();
  }
  return ref;
}

const IUnknownVtbl kInnerVtbl = {Inner_QueryInterface, Inner_AddRef, Inner_Release};

// IReceiveAudio

ReceiveAudioObject* impl_from_IReceiveAudio(IReceiveAudio* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IReceiveAudio_iface);
}

HRESULT STDMETHODCALLTYPE RA_QueryInterface(IReceiveAudio* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IReceiveAudio(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE RA_AddRef(IReceiveAudio* iface) {
  return IUnknown_AddRef(impl_from_IReceiveAudio(iface)->outer);
}
ULONG STDMETHODCALLTYPE RA_Release(IReceiveAudio* iface) {
  return IUnknown_Release(impl_from_IReceiveAudio(iface)->outer);
}

HRESULT STDMETHODCALLTYPE RA_GetTypeInfoCount(IReceiveAudio*, UINT* count) {
  return com::DispatchGetTypeInfoCount(count);
}
HRESULT STDMETHODCALLTYPE RA_GetTypeInfo(IReceiveAudio*, UINT index, LCID, ITypeInfo** out) {
  return com::DispatchGetTypeInfo(IID_IReceiveAudio, index, out);
}
HRESULT STDMETHODCALLTYPE RA_GetIDsOfNames(IReceiveAudio*, REFIID riid, LPOLESTR* names, UINT count,
                                           LCID, DISPID* ids) {
  return com::DispatchGetIDsOfNames(IID_IReceiveAudio, riid, names, count, ids);
}
HRESULT STDMETHODCALLTYPE RA_Invoke(IReceiveAudio* iface, DISPID id, REFIID riid, LCID, WORD flags,
                                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  return com::DispatchInvoke(IID_IReceiveAudio, iface, id, riid, flags, params, result, excep, arg_err);
}

HRESULT STDMETHODCALLTYPE RA_Play(IReceiveAudio* iface) {
  return impl_from_IReceiveAudio(iface)->control->Play();
}
HRESULT STDMETHODCALLTYPE RA_Stop(IReceiveAudio* iface) {
  return impl_from_IReceiveAudio(iface)->control->Stop();
}
HRESULT STDMETHODCALLTYPE RA_Reload(IReceiveAudio* iface) {
  return impl_from_IReceiveAudio(iface)->control->Reload();
}

HRESULT STDMETHODCALLTYPE RA_get_IP(IReceiveAudio* iface, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  std::string ip;
  const HRESULT hr = impl_from_IReceiveAudio(iface)->control->get_IP(&ip);
  *out = com::BstrFromAnsi(ip);
  return *out == nullptr ? E_OUTOFMEMORY : hr;
}
HRESULT STDMETHODCALLTYPE RA_put_IP(IReceiveAudio* iface, BSTR ip) {
  return impl_from_IReceiveAudio(iface)->control->put_IP(com::AnsiFromBstr(ip));
}
HRESULT STDMETHODCALLTYPE RA_put_Password(IReceiveAudio* iface, BSTR password) {
  return impl_from_IReceiveAudio(iface)->control->put_Password(com::AnsiFromBstr(password));
}
HRESULT STDMETHODCALLTYPE RA_SetPassword(IReceiveAudio* iface, BSTR password, BYTE flag) {
  return impl_from_IReceiveAudio(iface)->control->SetPassword(com::AnsiFromBstr(password), flag);
}

// The 32-bit properties differ only in the accessor pair they reach.
template <HResult (CReceiveAudio::*Get)(std::int32_t*)>
HRESULT STDMETHODCALLTYPE RA_GetLong(IReceiveAudio* iface, LONG* out) {
  if (out == nullptr) return E_POINTER;
  std::int32_t value = 0;
  const HRESULT hr = (impl_from_IReceiveAudio(iface)->control->*Get)(&value);
  *out = value;
  return hr;
}
template <HResult (CReceiveAudio::*Put)(std::int32_t)>
HRESULT STDMETHODCALLTYPE RA_PutLong(IReceiveAudio* iface, LONG value) {
  return (impl_from_IReceiveAudio(iface)->control->*Put)(value);
}

HRESULT STDMETHODCALLTYPE RA_get_PeakValue(IReceiveAudio* iface, BYTE* out) {
  if (out == nullptr) return E_POINTER;
  std::uint8_t value = 0;
  const HRESULT hr = impl_from_IReceiveAudio(iface)->control->get_PeakValue(&value);
  *out = value;
  return hr;
}
HRESULT STDMETHODCALLTYPE RA_put_PeakValue(IReceiveAudio* iface, BYTE value) {
  return impl_from_IReceiveAudio(iface)->control->put_PeakValue(value);
}

const IReceiveAudioVtbl kReceiveAudioVtbl = {
    RA_QueryInterface,
    RA_AddRef,
    RA_Release,
    RA_GetTypeInfoCount,
    RA_GetTypeInfo,
    RA_GetIDsOfNames,
    RA_Invoke,
    RA_Play,
    RA_get_IP,
    RA_put_IP,
    RA_GetLong<&CReceiveAudio::get_Port>,
    RA_PutLong<&CReceiveAudio::put_Port>,
    RA_GetLong<&CReceiveAudio::get_Volume>,
    RA_PutLong<&CReceiveAudio::put_Volume>,
    RA_GetLong<&CReceiveAudio::get_DelayTime>,
    RA_PutLong<&CReceiveAudio::put_DelayTime>,
    RA_GetLong<&CReceiveAudio::get_StreamType>,
    RA_PutLong<&CReceiveAudio::put_StreamType>,
    RA_Stop,
    RA_put_Password,
    RA_Reload,
    RA_get_PeakValue,
    RA_put_PeakValue,
    RA_GetLong<&CReceiveAudio::get_Language>,
    RA_PutLong<&CReceiveAudio::put_Language>,
    RA_SetPassword,
};

// IObjectSafety: safe for scripting and for initialisation from a page, on every interface.

ReceiveAudioObject* impl_from_IObjectSafety(IObjectSafety* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IObjectSafety_iface);
}

HRESULT STDMETHODCALLTYPE Safety_QueryInterface(IObjectSafety* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IObjectSafety(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE Safety_AddRef(IObjectSafety* iface) {
  return IUnknown_AddRef(impl_from_IObjectSafety(iface)->outer);
}
ULONG STDMETHODCALLTYPE Safety_Release(IObjectSafety* iface) {
  return IUnknown_Release(impl_from_IObjectSafety(iface)->outer);
}

// Only interfaces the object answers have a safety setting.
HRESULT CheckSafetyInterface(ReceiveAudioObject* This, REFIID iid) {
  IUnknown* unknown = nullptr;
  if (FAILED(IUnknown_QueryInterface(This->outer, iid, reinterpret_cast<void**>(&unknown)))) {
    return E_NOINTERFACE;
  }
  IUnknown_Release(unknown);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Safety_GetInterfaceSafetyOptions(IObjectSafety* iface, REFIID iid,
                                                           DWORD* supported, DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  ReceiveAudioObject* This = impl_from_IObjectSafety(iface);
  const HRESULT hr = CheckSafetyInterface(This, iid);
  if (FAILED(hr)) return hr;
  *supported = kSafetyOptions;
  *enabled = This->safety;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Safety_SetInterfaceSafetyOptions(IObjectSafety* iface, REFIID iid,
                                                           DWORD mask, DWORD enabled) {
  ReceiveAudioObject* This = impl_from_IObjectSafety(iface);
  const HRESULT hr = CheckSafetyInterface(This, iid);
  if (FAILED(hr)) return hr;
  if ((mask & ~kSafetyOptions) != 0) return E_FAIL;
  This->safety = (This->safety & ~mask) | (enabled & mask);
  return S_OK;
}

const IObjectSafetyVtbl kObjectSafetyVtbl = {
    Safety_QueryInterface, Safety_AddRef, Safety_Release,
    Safety_GetInterfaceSafetyOptions, Safety_SetInterfaceSafetyOptions,
};

// IProvideClassInfo2

ReceiveAudioObject* impl_from_IProvideClassInfo2(IProvideClassInfo2* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IProvideClassInfo2_iface);
}

HRESULT STDMETHODCALLTYPE ClassInfo_QueryInterface(IProvideClassInfo2* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IProvideClassInfo2(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE ClassInfo_AddRef(IProvideClassInfo2* iface) {
  return IUnknown_AddRef(impl_from_IProvideClassInfo2(iface)->outer);
}
ULONG STDMETHODCALLTYPE ClassInfo_Release(IProvideClassInfo2* iface) {
  return IUnknown_Release(impl_from_IProvideClassInfo2(iface)->outer);
}
HRESULT STDMETHODCALLTYPE ClassInfo_GetClassInfo(IProvideClassInfo2*, ITypeInfo** out) {
  return com::GetModuleTypeInfo(CLSID_ReceiveAudio, out);
}
HRESULT STDMETHODCALLTYPE ClassInfo_GetGUID(IProvideClassInfo2*, DWORD kind, GUID* out) {
  if (out == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *out = GUID_NULL;
    return E_INVALIDARG;
  }
  *out = DIID__IReceiveAudioEvents;
  return S_OK;
}

const IProvideClassInfo2Vtbl kProvideClassInfo2Vtbl = {
    ClassInfo_QueryInterface, ClassInfo_AddRef, ClassInfo_Release,
    ClassInfo_GetClassInfo, ClassInfo_GetGUID,
};

// ISupportErrorInfo: only IReceiveAudio's methods set error info.

ZUBR_FORWARD_IUNKNOWN(ErrorInfo, ISupportErrorInfo)
HRESULT STDMETHODCALLTYPE ErrorInfo_InterfaceSupportsErrorInfo(ISupportErrorInfo*, REFIID iid) {
  return IsEqualIID(iid, IID_IReceiveAudio) ? S_OK : S_FALSE;
}

const ISupportErrorInfoVtbl kSupportErrorInfoVtbl = {
    ErrorInfo_QueryInterface, ErrorInfo_AddRef, ErrorInfo_Release, ErrorInfo_InterfaceSupportsErrorInfo,
};

// ISpecifyPropertyPages: the control has no property pages.

ZUBR_FORWARD_IUNKNOWN(Pages, ISpecifyPropertyPages)
HRESULT STDMETHODCALLTYPE Pages_GetPages(ISpecifyPropertyPages*, CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  return S_OK;
}

const ISpecifyPropertyPagesVtbl kSpecifyPropertyPagesVtbl = {
    Pages_QueryInterface, Pages_AddRef, Pages_Release, Pages_GetPages,
};

// IConnectionPointContainer over the object's two points.

ZUBR_FORWARD_IUNKNOWN(Points, IConnectionPointContainer)
HRESULT STDMETHODCALLTYPE Points_EnumConnectionPoints(IConnectionPointContainer* iface,
                                                      IEnumConnectionPoints** out) {
  return com::EnumConnectionPoints(impl_from_IConnectionPointContainer(iface)->points, out);
}
HRESULT STDMETHODCALLTYPE Points_FindConnectionPoint(IConnectionPointContainer* iface, REFIID iid,
                                                     IConnectionPoint** out) {
  return com::FindConnectionPoint(impl_from_IConnectionPointContainer(iface)->points, iid, out);
}

const IConnectionPointContainerVtbl kConnectionPointContainerVtbl = {
    Points_QueryInterface, Points_AddRef, Points_Release, Points_EnumConnectionPoints,
    Points_FindConnectionPoint,
};

// IDataObject: the control offers no data formats; containers use its view and persistence.

ZUBR_FORWARD_IUNKNOWN(Data, IDataObject)
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

const IDataObjectVtbl kDataObjectVtbl = {
    Data_QueryInterface, Data_AddRef,      Data_Release,   Data_GetData,
    Data_GetDataHere,    Data_QueryGetData, Data_GetCanonicalFormatEtc, Data_SetData,
    Data_EnumFormatEtc,  Data_DAdvise,     Data_DUnadvise, Data_EnumDAdvise,
};

}  // namespace

HRESULT CreateReceiveAudio(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* This = new (std::nothrow) ReceiveAudioObject{
      {&kInnerVtbl},
      {&kReceiveAudioVtbl},
      {&kPersistStreamInitVtbl},
      {&kOleObjectVtbl},
      {&kOleControlVtbl},
      {&kOleInPlaceActiveObjectVtbl},
      {&kViewObjectExVtbl},
      {&kOleInPlaceObjectWindowlessVtbl},
      {&kSupportErrorInfoVtbl},
      {&kConnectionPointContainerVtbl},
      {&kPersistStorageVtbl},
      {&kSpecifyPropertyPagesVtbl},
      {&kQuickActivateVtbl},
      {&kDataObjectVtbl},
      {&kProvideClassInfo2Vtbl},
      {&kPersistPropertyBagVtbl},
      {&kObjectSafetyVtbl},
      nullptr,
      1,
      0,
      nullptr,
      nullptr,
      nullptr,
      {2540, 2540},  // 96 x 96 pixels at 96 dpi
      nullptr,
      0,
      0,
      {},
      nullptr};
  if (This == nullptr) return E_OUTOFMEMORY;
  This->control = new (std::nothrow) CReceiveAudio();
  if (This->control == nullptr) {
    delete This;
    return E_OUTOFMEMORY;
  }
  This->outer = outer != nullptr ? outer : &This->IUnknown_inner;
  com::InitConnectionPoint(This->points[0], This->outer, &This->IConnectionPointContainer_iface,
                           DIID__IReceiveAudioEvents);
  com::InitConnectionPoint(This->points[1], This->outer, &This->IConnectionPointContainer_iface,
                           IID_IPropertyNotifySink);
  com::ObjectCreated();
  const HRESULT hr = Inner_QueryInterface(&This->IUnknown_inner, iid, out);
  Inner_Release(&This->IUnknown_inner);
  return hr;
}

}  // namespace zubr
