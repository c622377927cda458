// Connection points for a control's IConnectionPointContainer: each point lives inside the
// control's object and counts its references on the control (owner), so it needs no life of
// its own. Cookies are slot numbers from 1; a point holds at most kMaxConnections sinks.
#pragma once

#include "com/win.h"

#include <span>
#include <vector>

namespace com {

inline constexpr DWORD kMaxConnections = 8;

struct ConnectionPoint {
  IConnectionPoint IConnectionPoint_iface;
  IUnknown* owner;                         // not counted: the point is part of it
  IConnectionPointContainer* container;    // the owner's container interface
  const IID* iid;                          // the sink interface
  IUnknown* sinks[kMaxConnections];        // counted, queried for *iid
};

void InitConnectionPoint(ConnectionPoint& point, IUnknown* owner, IConnectionPointContainer* container,
                         const IID& iid);
// Releases every sink; called at the owner's end.
void ReleaseConnections(ConnectionPoint& point);

// The sinks connected now, each AddRef'd (as the point's interface), so a sink that unadvises
// while it is being called does not pull the others from under the caller.
std::vector<IUnknown*> SnapshotSinks(const ConnectionPoint& point);
// IPropertyNotifySink, for a point of that interface: S_FALSE when any sink refuses the edit.
HRESULT RequestEdit(const ConnectionPoint& point, DISPID id);
void NotifyChanged(const ConnectionPoint& point, DISPID id);

HRESULT FindConnectionPoint(std::span<ConnectionPoint> points, REFIID iid, IConnectionPoint** out);
HRESULT EnumConnectionPoints(std::span<ConnectionPoint> points, IEnumConnectionPoints** out);

}  // namespace com
