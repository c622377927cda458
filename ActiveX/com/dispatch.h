// IDispatch driven by a control's member table: one route for every control, dual or
// dispinterface, and for a dual interface's vtable too (dual.h).
//
// Names are matched without regard to case; hidden rows (automation::kHidden) are neither found
// by name nor reachable by DISPID. Invoke checks the argument count and the named arguments,
// coerces each argument (by reference too) to the member's type with VariantChangeType, naming
// a refused one in *arg_err, runs the row's accessor and converts its result. A failing
// accessor's HRESULT comes back as DISP_E_EXCEPTION with the code in the EXCEPINFO (when given,
// else as it is); S_FALSE comes back as it is.
#pragma once

#include "com/win.h"

#include "automation/members.h"
#include "com/connection_points.h"

namespace com {

// One access to one member, as both routes make it. A put of a kNotifyChanges row asks the
// property-notify sinks first (any S_FALSE refuses it with CTL_E_SETNOTPERMITTED, the code a
// script reports as "cannot set property") and tells them after; notify may be null.
HRESULT InvokeMember(automation::Dispatchable& control, ConnectionPoint* notify, DISPID id,
                     automation::Access access, const automation::Value* args, automation::Value* result);

HRESULT DispatchGetIDsOfNames(automation::Dispatchable& control, REFIID reserved, LPOLESTR* names, UINT count,
                              DISPID* ids);
HRESULT DispatchInvoke(automation::Dispatchable& control, ConnectionPoint* notify, DISPID id, REFIID reserved,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err);

}  // namespace com
