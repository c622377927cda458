// Persistence of the receive control: the page's <param> entries (IPersistPropertyBag) and a
// container's stream (IPersistStreamInit). Both carry the five persisted properties of the
// member table; loading over missing or unusable entries keeps the current values.
#include "ZubAudioR/ReceiveAudioCom.h"

#include "com/persist.h"

namespace zubr {

namespace {

ReceiveAudioObject* impl_from_IPersistPropertyBag(IPersistPropertyBag* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IPersistPropertyBag_iface);
}

HRESULT STDMETHODCALLTYPE Bag_QueryInterface(IPersistPropertyBag* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IPersistPropertyBag(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE Bag_AddRef(IPersistPropertyBag* iface) {
  return IUnknown_AddRef(impl_from_IPersistPropertyBag(iface)->outer);
}
ULONG STDMETHODCALLTYPE Bag_Release(IPersistPropertyBag* iface) {
  return IUnknown_Release(impl_from_IPersistPropertyBag(iface)->outer);
}
HRESULT STDMETHODCALLTYPE Bag_GetClassID(IPersistPropertyBag*, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = CLSID_ReceiveAudio;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Bag_InitNew(IPersistPropertyBag*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Bag_Load(IPersistPropertyBag* iface, IPropertyBag* bag, IErrorLog* log) {
  return com::LoadFromPropertyBag(*impl_from_IPersistPropertyBag(iface)->control, bag, log);
}
HRESULT STDMETHODCALLTYPE Bag_Save(IPersistPropertyBag* iface, IPropertyBag* bag, BOOL, BOOL) {
  return com::SaveToPropertyBag(*impl_from_IPersistPropertyBag(iface)->control, bag);
}

ReceiveAudioObject* impl_from_IPersistStreamInit(IPersistStreamInit* iface) {
  return CONTAINING_RECORD(iface, ReceiveAudioObject, IPersistStreamInit_iface);
}

HRESULT STDMETHODCALLTYPE Stream_QueryInterface(IPersistStreamInit* iface, REFIID iid, void** out) {
  return IUnknown_QueryInterface(impl_from_IPersistStreamInit(iface)->outer, iid, out);
}
ULONG STDMETHODCALLTYPE Stream_AddRef(IPersistStreamInit* iface) {
  return IUnknown_AddRef(impl_from_IPersistStreamInit(iface)->outer);
}
ULONG STDMETHODCALLTYPE Stream_Release(IPersistStreamInit* iface) {
  return IUnknown_Release(impl_from_IPersistStreamInit(iface)->outer);
}
HRESULT STDMETHODCALLTYPE Stream_GetClassID(IPersistStreamInit*, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = CLSID_ReceiveAudio;
  return S_OK;
}
// Changes are not tracked, so a container always saves.
HRESULT STDMETHODCALLTYPE Stream_IsDirty(IPersistStreamInit*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Stream_Load(IPersistStreamInit* iface, IStream* stream) {
  return com::LoadFromStream(*impl_from_IPersistStreamInit(iface)->control, stream);
}
HRESULT STDMETHODCALLTYPE Stream_Save(IPersistStreamInit* iface, IStream* stream, BOOL) {
  return com::SaveToStream(*impl_from_IPersistStreamInit(iface)->control, stream);
}
HRESULT STDMETHODCALLTYPE Stream_GetSizeMax(IPersistStreamInit* iface, ULARGE_INTEGER* size) {
  return com::StreamSizeMax(*impl_from_IPersistStreamInit(iface)->control, size);
}
HRESULT STDMETHODCALLTYPE Stream_InitNew(IPersistStreamInit*) { return S_OK; }

}  // namespace

const IPersistPropertyBagVtbl kPersistPropertyBagVtbl = {
    Bag_QueryInterface, Bag_AddRef, Bag_Release, Bag_GetClassID, Bag_InitNew, Bag_Load, Bag_Save,
};

const IPersistStreamInitVtbl kPersistStreamInitVtbl = {
    Stream_QueryInterface, Stream_AddRef, Stream_Release, Stream_GetClassID, Stream_IsDirty,
    Stream_Load, Stream_Save, Stream_GetSizeMax, Stream_InitNew,
};

}  // namespace zubr
