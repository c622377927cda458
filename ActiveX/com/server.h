// A control DLL's entry points, over the list of its classes. A deliverable defines
//
//   std::span<const com::ControlClass* const> com::ModuleClasses() { return kClasses; }
//
// and zub_com_dll adds the exports themselves (dll_entry.cpp): DllMain, DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer and DllUnregisterServer.
#pragma once

#include "com/win.h"

#include <span>

#include "com/class_factory.h"
#include "com/control_class.h"
#include "com/module.h"

namespace com {

// The DLL's classes, in registration order; defined by the deliverable.
std::span<const ControlClass* const> ModuleClasses();

// Every class's registry rows (registration.h) and the module's type library.
HRESULT RegisterClasses(std::span<const ControlClass* const> classes);
HRESULT UnregisterClasses(std::span<const ControlClass* const> classes);

}  // namespace com
