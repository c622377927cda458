#include "com/class_factory.h"

#include <new>

#include "com/control/object.h"
#include "com/module.h"

namespace com {

namespace {

struct ClassFactory {
  IClassFactory IClassFactory_iface;
  LONG ref;
  const ControlClass* cls;
};

ClassFactory* impl_from_IClassFactory(IClassFactory* iface) {
  return CONTAINING_RECORD(iface, ClassFactory, IClassFactory_iface);
}

HRESULT STDMETHODCALLTYPE Factory_QueryInterface(IClassFactory* iface, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *out = iface;
    IClassFactory_AddRef(iface);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Factory_AddRef(IClassFactory* iface) {
  return InterlockedIncrement(&impl_from_IClassFactory(iface)->ref);
}

ULONG STDMETHODCALLTYPE Factory_Release(IClassFactory* iface) {
  ClassFactory* factory = impl_from_IClassFactory(iface);
  const LONG ref = InterlockedDecrement(&factory->ref);
  if (ref == 0) {
    delete factory;
    ObjectDestroyed();
  }
  return ref;
}

HRESULT STDMETHODCALLTYPE Factory_CreateInstance(IClassFactory* iface, IUnknown* outer, REFIID iid,
                                                 void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  const ControlClass& cls = *impl_from_IClassFactory(iface)->cls;
  if (cls.create_instance != nullptr) return cls.create_instance(outer, iid, out);
  return CreateControlObject(cls, outer, iid, out);
}

HRESULT STDMETHODCALLTYPE Factory_LockServer(IClassFactory*, BOOL lock) {
  LockModule(lock != FALSE);
  return S_OK;
}

const IClassFactoryVtbl kClassFactoryVtbl = {
    Factory_QueryInterface, Factory_AddRef,     Factory_Release,
    Factory_CreateInstance, Factory_LockServer,
};

}  // namespace

HRESULT GetClassObject(std::span<const ControlClass* const> classes, REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (const ControlClass* cls : classes) {
    if (!IsEqualCLSID(clsid, *cls->clsid)) continue;
    auto* factory = new (std::nothrow) ClassFactory{{&kClassFactoryVtbl}, 1, cls};
    if (factory == nullptr) return E_OUTOFMEMORY;
    ObjectCreated();
    const HRESULT hr = Factory_QueryInterface(&factory->IClassFactory_iface, iid, out);
    Factory_Release(&factory->IClassFactory_iface);
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace com
