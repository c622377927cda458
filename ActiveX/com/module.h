// The DLL's module state: its instance handle and path, the count of live objects and the count
// of server locks (IClassFactory::LockServer). DllCanUnloadNow answers S_OK only when both are
// zero. The counts are atomic: objects may be released on any thread.
#pragma once

#include "com/win.h"

#include <string>

namespace com {

// Call from the DLL's DllMain; on a FreeLibrary detach it releases the cached type infos and
// unregisters the control window class, whose window procedure goes with the DLL.
void OnDllMain(HINSTANCE instance, DWORD reason, void* reserved);

HINSTANCE ModuleInstance();
// The full path of this DLL, as registration writes it.
std::wstring ModulePath();

void ObjectCreated();
void ObjectDestroyed();
void LockModule(bool lock);
// S_OK when no object lives and no lock is held, S_FALSE otherwise.
HRESULT CanUnloadNow();

}  // namespace com
