// The module's own type library (resource TYPELIB 1 of this DLL): registration, and the type
// infos that IDispatch and IProvideClassInfo serve. Type infos are loaded once per process and
// cached (under a lock; any thread may ask); ReleaseTypeInfos drops the cache.
#pragma once

#include "com/win.h"

namespace com {

// LoadTypeLibEx(module path, REGKIND_REGISTER): the library and its interfaces.
HRESULT RegisterModuleTypeLib();
// UnRegisterTypeLib for the library in this module, for this build's SYS_WIN64 or SYS_WIN32.
HRESULT UnregisterModuleTypeLib();

// The type info for guid (an interface or coclass) in the module's library; AddRef'd.
HRESULT GetModuleTypeInfo(REFGUID guid, ITypeInfo** out);
void ReleaseTypeInfos();

}  // namespace com
