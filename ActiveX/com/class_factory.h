// Class objects for the DLL's creatable classes, from a table the DLL declares once.
//
// DllGetClassObject hands out a fresh factory per call; each factory counts as a live object of
// the module while it exists. CreateInstance passes an outer unknown to the class's create
// function, which must then return its non-delegating IUnknown (aggregation); asking for any
// other interface while aggregated is refused with CLASS_E_NOAGGREGATION.
#pragma once

#include "com/win.h"

#include <span>

namespace com {

// Creates one object; outer is null or the aggregating object (then iid is IID_IUnknown).
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

struct ClassEntry {
  const CLSID* clsid;
  CreateInstanceFn create;
};

// The body of DllGetClassObject.
HRESULT GetClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid, void** out);

}  // namespace com
