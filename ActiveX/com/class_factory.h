// Class objects for the DLL's creatable classes, from the classes' descriptors.
//
// GetClassObject hands out a fresh factory per call; each factory counts as a live object of the
// module while it exists. CreateInstance makes the kit's control object (or the class's own
// object, create_instance); an outer unknown makes it aggregated, and then only IID_IUnknown may
// be asked for (anything else is CLASS_E_NOAGGREGATION).
#pragma once

#include "com/win.h"

#include <span>

#include "com/control_class.h"

namespace com {

// The body of DllGetClassObject.
HRESULT GetClassObject(std::span<const ControlClass* const> classes, REFCLSID clsid, REFIID iid, void** out);

}  // namespace com
