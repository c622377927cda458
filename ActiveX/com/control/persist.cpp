// Persistence of the control: the page's <param> entries (IPersistPropertyBag), a container's
// stream (IPersistStreamInit) or its storage (IPersistStorage, one stream in it). All carry the
// persisted members of the control's table (com/persist.h); loading over missing or unusable
// entries keeps the current values.
#include "com/control/object.h"
#include "com/persist.h"

namespace com {

namespace {

HRESULT STDMETHODCALLTYPE Bag_GetClassID(IPersistPropertyBag* iface, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = *impl_from(iface)->cls.clsid;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE Bag_InitNew(IPersistPropertyBag*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Bag_Load(IPersistPropertyBag* iface, IPropertyBag* bag, IErrorLog* log) {
  return LoadFromPropertyBag(*impl_from(iface)->control, bag, log);
}
HRESULT STDMETHODCALLTYPE Bag_Save(IPersistPropertyBag* iface, IPropertyBag* bag, BOOL, BOOL) {
  return SaveToPropertyBag(*impl_from(iface)->control, bag);
}

HRESULT STDMETHODCALLTYPE Stream_GetClassID(IPersistStreamInit* iface, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = *impl_from(iface)->cls.clsid;
  return S_OK;
}
// Changes are not tracked, so a container always saves.
HRESULT STDMETHODCALLTYPE Stream_IsDirty(IPersistStreamInit*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Stream_Load(IPersistStreamInit* iface, IStream* stream) {
  return LoadFromStream(*impl_from(iface)->control, stream);
}
HRESULT STDMETHODCALLTYPE Stream_Save(IPersistStreamInit* iface, IStream* stream, BOOL) {
  return SaveToStream(*impl_from(iface)->control, stream);
}
HRESULT STDMETHODCALLTYPE Stream_GetSizeMax(IPersistStreamInit* iface, ULARGE_INTEGER* size) {
  return StreamSizeMax(*impl_from(iface)->control, size);
}
HRESULT STDMETHODCALLTYPE Stream_InitNew(IPersistStreamInit*) { return S_OK; }

// IPersistStorage: the same stream layout, in one stream of the container's storage.

constexpr wchar_t kContentsStream[] = L"Contents";
constexpr DWORD kStreamMode = STGM_SHARE_EXCLUSIVE;

HRESULT STDMETHODCALLTYPE Storage_GetClassID(IPersistStorage* iface, CLSID* out) {
  if (out == nullptr) return E_POINTER;
  *out = *impl_from(iface)->cls.clsid;
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
  hr = LoadFromStream(*impl_from(iface)->control, stream);
  IStream_Release(stream);
  return hr;
}
HRESULT STDMETHODCALLTYPE Storage_Save(IPersistStorage* iface, IStorage* storage, BOOL) {
  if (storage == nullptr) return E_POINTER;
  IStream* stream = nullptr;
  HRESULT hr = IStorage_CreateStream(storage, kContentsStream, STGM_CREATE | STGM_READWRITE | kStreamMode, 0, 0,
                                     &stream);
  if (FAILED(hr)) return hr;
  hr = SaveToStream(*impl_from(iface)->control, stream);
  IStream_Release(stream);
  return hr;
}
// The control keeps no storage between calls, so there is nothing to let go or take back.
HRESULT STDMETHODCALLTYPE Storage_SaveCompleted(IPersistStorage*, IStorage*) { return S_OK; }
HRESULT STDMETHODCALLTYPE Storage_HandsOffStorage(IPersistStorage*) { return S_OK; }

}  // namespace

const IPersistStorageVtbl kPersistStorageVtbl = {
    Forward_QueryInterface<IPersistStorage>, Forward_AddRef<IPersistStorage>, Forward_Release<IPersistStorage>,
    Storage_GetClassID, Storage_IsDirty,
    Storage_InitNew, Storage_Load, Storage_Save, Storage_SaveCompleted, Storage_HandsOffStorage,
};

const IPersistPropertyBagVtbl kPersistPropertyBagVtbl = {
    Forward_QueryInterface<IPersistPropertyBag>, Forward_AddRef<IPersistPropertyBag>, Forward_Release<IPersistPropertyBag>,
    Bag_GetClassID, Bag_InitNew, Bag_Load, Bag_Save,
};

const IPersistStreamInitVtbl kPersistStreamInitVtbl = {
    Forward_QueryInterface<IPersistStreamInit>, Forward_AddRef<IPersistStreamInit>, Forward_Release<IPersistStreamInit>,
    Stream_GetClassID, Stream_IsDirty,
    Stream_Load, Stream_Save, Stream_GetSizeMax, Stream_InitNew,
};

}  // namespace com
