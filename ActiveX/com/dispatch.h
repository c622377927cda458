// IDispatch for a dual interface, served by the module type library's ITypeInfo: names map to
// DISPIDs through DispGetIDsOfNames, the argument count and types are checked here, and
// ITypeInfo::Invoke coerces the arguments and calls the interface's own vtable method. A control's IDispatch methods forward here with the IID of
// their dual interface and the interface pointer itself.
#pragma once

#include "com/win.h"

namespace com {

HRESULT DispatchGetTypeInfoCount(UINT* count);
HRESULT DispatchGetTypeInfo(REFIID dual, UINT index, ITypeInfo** out);
HRESULT DispatchGetIDsOfNames(REFIID dual, REFIID reserved, LPOLESTR* names, UINT count,
                              DISPID* ids);
HRESULT DispatchInvoke(REFIID dual, void* iface, DISPID id, REFIID reserved, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err);

}  // namespace com
