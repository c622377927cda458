#include "com/connection_points.h"

#include <new>
#include <vector>

#include "com/module.h"

namespace com {

namespace {

ConnectionPoint* impl_from_IConnectionPoint(IConnectionPoint* iface) {
  return CONTAINING_RECORD(iface, ConnectionPoint, IConnectionPoint_iface);
}

// The enumerators are objects of their own (a snapshot taken when made); they keep the module
// loaded like any other object.
struct EnumConnections {
  IEnumConnections IEnumConnections_iface;
  LONG ref;
  ULONG next;
  std::vector<CONNECTDATA> items;
};

struct EnumPoints {
  IEnumConnectionPoints IEnumConnectionPoints_iface;
  LONG ref;
  ULONG next;
  std::vector<IConnectionPoint*> items;
};

extern const IEnumConnectionsVtbl kEnumConnectionsVtbl;
extern const IEnumConnectionPointsVtbl kEnumPointsVtbl;

EnumConnections* NewEnumConnections(std::vector<CONNECTDATA> items, ULONG next) {
  auto* e = new (std::nothrow) EnumConnections{{&kEnumConnectionsVtbl}, 1, next, {}};
  if (e == nullptr) return nullptr;
  e->items = std::move(items);
  for (CONNECTDATA& d : e->items) IUnknown_AddRef(d.pUnk);
  ObjectCreated();
  return e;
}

EnumPoints* NewEnumPoints(std::vector<IConnectionPoint*> items, ULONG next) {
  auto* e = new (std::nothrow) EnumPoints{{&kEnumPointsVtbl}, 1, next, {}};
  if (e == nullptr) return nullptr;
  e->items = std::move(items);
  for (IConnectionPoint* p : e->items) IConnectionPoint_AddRef(p);
  ObjectCreated();
  return e;
}

// IEnumConnections

EnumConnections* impl_from_IEnumConnections(IEnumConnections* iface) {
  return reinterpret_cast<EnumConnections*>(iface);
}
HRESULT STDMETHODCALLTYPE EC_QueryInterface(IEnumConnections* iface, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumConnections)) {
    *out = iface;
    IEnumConnections_AddRef(iface);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE EC_AddRef(IEnumConnections* iface) {
  return InterlockedIncrement(&impl_from_IEnumConnections(iface)->ref);
}
ULONG STDMETHODCALLTYPE EC_Release(IEnumConnections* iface) {
  EnumConnections* This = impl_from_IEnumConnections(iface);
  const LONG ref = InterlockedDecrement(&This->ref);
  if (ref == 0) {
    for (CONNECTDATA& d : This->items) IUnknown_Release(d.pUnk);
    delete This;
    ObjectDestroyed();
  }
  return ref;
}
HRESULT STDMETHODCALLTYPE EC_Next(IEnumConnections* iface, ULONG count, CONNECTDATA* out, ULONG* fetched) {
  EnumConnections* This = impl_from_IEnumConnections(iface);
  if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
  ULONG n = 0;
  for (; n < count && This->next < This->items.size(); ++n, ++This->next) {
    out[n] = This->items[This->next];
    IUnknown_AddRef(out[n].pUnk);
  }
  if (fetched != nullptr) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE EC_Skip(IEnumConnections* iface, ULONG count) {
  EnumConnections* This = impl_from_IEnumConnections(iface);
  const ULONG left = static_cast<ULONG>(This->items.size()) - This->next;
  This->next += count < left ? count : left;
  return count <= left ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE EC_Reset(IEnumConnections* iface) {
  impl_from_IEnumConnections(iface)->next = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EC_Clone(IEnumConnections* iface, IEnumConnections** out) {
  if (out == nullptr) return E_POINTER;
  EnumConnections* This = impl_from_IEnumConnections(iface);
  EnumConnections* e = NewEnumConnections(This->items, This->next);
  *out = e != nullptr ? &e->IEnumConnections_iface : nullptr;
  return e != nullptr ? S_OK : E_OUTOFMEMORY;
}

extern const IEnumConnectionsVtbl kEnumConnectionsVtbl = {
    EC_QueryInterface, EC_AddRef, EC_Release, EC_Next, EC_Skip, EC_Reset, EC_Clone,
};

// IEnumConnectionPoints

EnumPoints* impl_from_IEnumConnectionPoints(IEnumConnectionPoints* iface) {
  return reinterpret_cast<EnumPoints*>(iface);
}
HRESULT STDMETHODCALLTYPE EP_QueryInterface(IEnumConnectionPoints* iface, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumConnectionPoints)) {
    *out = iface;
    IEnumConnectionPoints_AddRef(iface);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE EP_AddRef(IEnumConnectionPoints* iface) {
  return InterlockedIncrement(&impl_from_IEnumConnectionPoints(iface)->ref);
}
ULONG STDMETHODCALLTYPE EP_Release(IEnumConnectionPoints* iface) {
  EnumPoints* This = impl_from_IEnumConnectionPoints(iface);
  const LONG ref = InterlockedDecrement(&This->ref);
  if (ref == 0) {
    for (IConnectionPoint* p : This->items) IConnectionPoint_Release(p);
    delete This;
    ObjectDestroyed();
  }
  return ref;
}
HRESULT STDMETHODCALLTYPE EP_Next(IEnumConnectionPoints* iface, ULONG count, IConnectionPoint** out,
                                  ULONG* fetched) {
  EnumPoints* This = impl_from_IEnumConnectionPoints(iface);
  if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
  ULONG n = 0;
  for (; n < count && This->next < This->items.size(); ++n, ++This->next) {
    out[n] = This->items[This->next];
    IConnectionPoint_AddRef(out[n]);
  }
  if (fetched != nullptr) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE EP_Skip(IEnumConnectionPoints* iface, ULONG count) {
  EnumPoints* This = impl_from_IEnumConnectionPoints(iface);
  const ULONG left = static_cast<ULONG>(This->items.size()) - This->next;
  This->next += count < left ? count : left;
  return count <= left ? S_OK : S_FALSE;
}
HRESULT STDMETHODCALLTYPE EP_Reset(IEnumConnectionPoints* iface) {
  impl_from_IEnumConnectionPoints(iface)->next = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EP_Clone(IEnumConnectionPoints* iface, IEnumConnectionPoints** out) {
  if (out == nullptr) return E_POINTER;
  EnumPoints* This = impl_from_IEnumConnectionPoints(iface);
  EnumPoints* e = NewEnumPoints(This->items, This->next);
  *out = e != nullptr ? &e->IEnumConnectionPoints_iface : nullptr;
  return e != nullptr ? S_OK : E_OUTOFMEMORY;
}

extern const IEnumConnectionPointsVtbl kEnumPointsVtbl = {
    EP_QueryInterface, EP_AddRef, EP_Release, EP_Next, EP_Skip, EP_Reset, EP_Clone,
};

// IConnectionPoint: its own identity (the control does not answer IConnectionPoint), counted
// on the control.

HRESULT STDMETHODCALLTYPE CP_QueryInterface(IConnectionPoint* iface, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *out = iface;
    IConnectionPoint_AddRef(iface);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE CP_AddRef(IConnectionPoint* iface) {
  return IUnknown_AddRef(impl_from_IConnectionPoint(iface)->owner);
}
ULONG STDMETHODCALLTYPE CP_Release(IConnectionPoint* iface) {
  return IUnknown_Release(impl_from_IConnectionPoint(iface)->owner);
}
HRESULT STDMETHODCALLTYPE CP_GetConnectionInterface(IConnectionPoint* iface, IID* out) {
  if (out == nullptr) return E_POINTER;
  *out = *impl_from_IConnectionPoint(iface)->iid;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CP_GetConnectionPointContainer(IConnectionPoint* iface,
                                                         IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = impl_from_IConnectionPoint(iface)->container;
  IConnectionPointContainer_AddRef(*out);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CP_Advise(IConnectionPoint* iface, IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  ConnectionPoint* This = impl_from_IConnectionPoint(iface);
  DWORD slot = 0;
  while (slot < kMaxConnections && This->sinks[slot] != nullptr) ++slot;
  if (slot == kMaxConnections) return CONNECT_E_ADVISELIMIT;
  IUnknown* typed = nullptr;
  if (FAILED(IUnknown_QueryInterface(sink, *This->iid, reinterpret_cast<void**>(&typed)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  This->sinks[slot] = typed;
  *cookie = slot + 1;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CP_Unadvise(IConnectionPoint* iface, DWORD cookie) {
  ConnectionPoint* This = impl_from_IConnectionPoint(iface);
  if (cookie == 0 || cookie > kMaxConnections || This->sinks[cookie - 1] == nullptr) {
    return CONNECT_E_NOCONNECTION;
  }
  IUnknown* sink = This->sinks[cookie - 1];
  This->sinks[cookie - 1] = nullptr;
  IUnknown_Release(sink);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE CP_EnumConnections(IConnectionPoint* iface, IEnumConnections** out) {
  if (out == nullptr) return E_POINTER;
  ConnectionPoint* This = impl_from_IConnectionPoint(iface);
  std::vector<CONNECTDATA> items;
  for (DWORD i = 0; i < kMaxConnections; ++i) {
    if (This->sinks[i] != nullptr) items.push_back({This->sinks[i], i + 1});
  }
  EnumConnections* e = NewEnumConnections(std::move(items), 0);
  *out = e != nullptr ? &e->IEnumConnections_iface : nullptr;
  return e != nullptr ? S_OK : E_OUTOFMEMORY;
}

const IConnectionPointVtbl kConnectionPointVtbl = {
    CP_QueryInterface, CP_AddRef, CP_Release, CP_GetConnectionInterface,
    CP_GetConnectionPointContainer, CP_Advise, CP_Unadvise, CP_EnumConnections,
};

}  // namespace

void InitConnectionPoint(ConnectionPoint& point, IUnknown* owner, IConnectionPointContainer* container,
                         const IID& iid) {
  point.IConnectionPoint_iface.lpVtbl = &kConnectionPointVtbl;
  point.owner = owner;
  point.container = container;
  point.iid = &iid;
  for (IUnknown*& sink : point.sinks) sink = nullptr;
}

void ReleaseConnections(ConnectionPoint& point) {
  for (IUnknown*& sink : point.sinks) {
    IUnknown* s = sink;
    sink = nullptr;
    if (s != nullptr) IUnknown_Release(s);
  }
}

std::vector<IUnknown*> SnapshotSinks(const ConnectionPoint& point) {
  std::vector<IUnknown*> sinks;
  for (IUnknown* sink : point.sinks) {
    if (sink == nullptr) continue;
    IUnknown_AddRef(sink);
    sinks.push_back(sink);
  }
  return sinks;
}

HRESULT RequestEdit(const ConnectionPoint& point, DISPID id) {
  HRESULT answer = S_OK;
  for (IUnknown* sink : SnapshotSinks(point)) {
    if (answer == S_OK && IPropertyNotifySink_OnRequestEdit(reinterpret_cast<IPropertyNotifySink*>(sink), id) == S_FALSE)
      answer = S_FALSE;
    IUnknown_Release(sink);
  }
  return answer;
}

void NotifyChanged(const ConnectionPoint& point, DISPID id) {
  for (IUnknown* sink : SnapshotSinks(point)) {
    IPropertyNotifySink_OnChanged(reinterpret_cast<IPropertyNotifySink*>(sink), id);
    IUnknown_Release(sink);
  }
}

HRESULT FindConnectionPoint(std::span<ConnectionPoint> points, REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  for (ConnectionPoint& point : points) {
    if (IsEqualIID(iid, *point.iid)) {
      *out = &point.IConnectionPoint_iface;
      IConnectionPoint_AddRef(*out);
      return S_OK;
    }
  }
  *out = nullptr;
  return CONNECT_E_NOCONNECTION;
}

HRESULT EnumConnectionPoints(std::span<ConnectionPoint> points, IEnumConnectionPoints** out) {
  if (out == nullptr) return E_POINTER;
  std::vector<IConnectionPoint*> items;
  for (ConnectionPoint& point : points) items.push_back(&point.IConnectionPoint_iface);
  EnumPoints* e = NewEnumPoints(std::move(items), 0);
  *out = e != nullptr ? &e->IEnumConnectionPoints_iface : nullptr;
  return e != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace com
