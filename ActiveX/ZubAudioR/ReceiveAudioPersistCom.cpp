// Persistence of the receive control: the page's <param> entries (IPersistPropertyBag), a
// container's stream (IPersistStreamInit) or its storage (IPersistStorage, one stream in it).
// All carry the five persisted properties of the member table; loading over missing or
// unusable entries keeps the current values.
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

// IPersistStorage: the same stream layout, in one stream of the container's storage.

constexpr wchar_t kContentsStream[] = L"Contents";
constexpr DWORD kStreamMode = STGM_SHARE_EXCLUSIVE;

ZUBR_FORWARD_IUNKNOWN(Storage, IPersistStorage)
HRESULT STDMETHODCALLTYPE Storage_GetClassID(IPersistStorage*, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = CLSID_ReceiveAudio;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Storage_IsDirty(IPersistStorage*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Storage_InitNew(IPersistStorage*, IStorage* storage) {
  return storage != nullptr ? S_OK : E_POINTER;
}
HRESULT STDMETHODCALLTYPE Storage_Load(IPersistStorage* iface, IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  IStream* stream = nullptr;
  HRESULT hr = IStorage_OpenStream(storage, kContentsStream, nullptr, STGM_READ | kStreamMode, 0, &stream);
  if (FAILED(hr)) return hr;
  hr = com::LoadFromStream(*impl_from_IPersistStorage(iface)->control, stream);
  IStream_Release(stream);
  return hr;
}
HRESULT STDMETHODCALLTYPE Storage_Save(IPersistStorage* iface, IStorage* storage, BOOL) {
  if (storage == nullptr) return E_POINTER;
  IStream* stream = nullptr;
  HRESULT hr = IStorage_CreateStream(storage, kContentsStream, STGM_CREATE | STGM_READWRITE | kStreamMode, 0, 0,
                                     &stream);
  if (FAILED(hr)) return hr;
  hr = com::SaveToStream(*impl_from_IPersistStorage(iface)->control, stream);
  IStream_Release(stream);
  return hr;
}
// The control keeps no storage between calls, so there is nothing to let go or take back.
HRESULT STDMETHODCALLTYPE Storage_SaveCompleted(IPersistStorage*, IStorage*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Storage_HandsOffStorage(IPersistStorage*) { return S_OK; }

}  // namespace

const IPersistStorageVtbl kPersistStorageVtbl = {
    Storage_QueryInterface, Storage_AddRef, Storage_Release, Storage_GetClassID, Storage_IsDirty,
    Storage_InitNew, Storage_Load, Storage_Save, Storage_SaveCompleted, Storage_HandsOffStorage,
};

const IPersistPropertyBagVtbl kPersistPropertyBagVtbl = {
    Bag_QueryInterface, Bag_AddRef, Bag_Release, Bag_GetClassID, Bag_InitNew, Bag_Load, Bag_Save,
};

const IPersistStreamInitVtbl kPersistStreamInitVtbl = {
    Stream_QueryInterface, Stream_AddRef, Stream_Release, Stream_GetClassID, Stream_IsDirty,
    Stream_Load, Stream_Save, Stream_GetSizeMax, Stream_InitNew,
};

}  // namespace zubr
