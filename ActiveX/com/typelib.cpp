#include "com/typelib.h"

#include <string>

#include "com/module.h"

namespace com {

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
ITypeLib* g_typelib = nullptr;
struct CachedInfo {
  GUID guid;
  ITypeInfo* info;
};
// A control's library holds a handful of types: its interface, events and class.
CachedInfo g_infos[8] = {};

HRESULT LoadModuleTypeLib(REGKIND kind, ITypeLib** out) {
  const std::wstring path = ModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  return LoadTypeLibEx(path.c_str(), kind, out);
}

}  // namespace

HRESULT RegisterModuleTypeLib() {
  ITypeLib* typelib = nullptr;
  const HRESULT hr = LoadModuleTypeLib(REGKIND_REGISTER, &typelib);
  if (SUCCEEDED(hr)) ITypeLib_Release(typelib);
  return hr;
}

HRESULT UnregisterModuleTypeLib() {
  ITypeLib* typelib = nullptr;
  HRESULT hr = LoadModuleTypeLib(REGKIND_NONE, &typelib);
  if (FAILED(hr)) return hr;
  TLIBATTR* attr = nullptr;
  hr = ITypeLib_GetLibAttr(typelib, &attr);
  if (SUCCEEDED(hr)) {
#ifdef _WIN64
    const SYSKIND kind = SYS_WIN64;
#else
    const SYSKIND kind = SYS_WIN32;
#endif
    hr = UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, kind);
    // Unregistering what is not registered leaves the registry as wanted.
    if (hr == TYPE_E_REGISTRYACCESS) hr = S_OK;
    ITypeLib_ReleaseTLibAttr(typelib, attr);
  }
  ITypeLib_Release(typelib);
  return hr;
}

HRESULT GetModuleTypeInfo(REFGUID guid, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  AcquireSRWLockExclusive(&g_lock);
  HRESULT hr = S_OK;
  if (g_typelib == nullptr) hr = LoadModuleTypeLib(REGKIND_NONE, &g_typelib);
  CachedInfo* slot = nullptr;
  if (SUCCEEDED(hr)) {
    for (CachedInfo& c : g_infos) {
      if (c.info != nullptr && IsEqualGUID(c.guid, guid)) {
        slot = &c;
        break;
      }
    }
    if (slot == nullptr) {
      ITypeInfo* info = nullptr;
      hr = ITypeLib_GetTypeInfoOfGuid(g_typelib, guid, &info);
      if (SUCCEEDED(hr)) {
        for (CachedInfo& c : g_infos) {
          if (c.info == nullptr) {
            c = {guid, info};
            slot = &c;
            break;
          }
        }
        if (slot == nullptr) {
          *out = info;  // cache full: the caller gets its own reference
          ReleaseSRWLockExclusive(&g_lock);
          return S_OK;
        }
      }
    }
  }
  if (slot != nullptr) {
    ITypeInfo_AddRef(slot->info);
    *out = slot->info;
  }
  ReleaseSRWLockExclusive(&g_lock);
  return hr;
}

void ReleaseTypeInfos() {
  AcquireSRWLockExclusive(&g_lock);
  for (CachedInfo& c : g_infos) {
    if (c.info != nullptr) ITypeInfo_Release(c.info);
    c = {};
  }
  if (g_typelib != nullptr) ITypeLib_Release(g_typelib);
  g_typelib = nullptr;
  ReleaseSRWLockExclusive(&g_lock);
}

}  // namespace com
