#include "com/object.h"

namespace com {

HRESULT QueryInterfaceFromTable(void* object, IUnknown* inner, std::span<const InterfaceEntry> table,
                                REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *out = inner;
  } else {
    for (const InterfaceEntry& row : table) {
      if (IsEqualIID(iid, *row.iid)) {
        *out = static_cast<char*>(object) + row.offset;
        break;
      }
    }
  }
  if (*out == nullptr) return E_NOINTERFACE;
  IUnknown_AddRef(static_cast<IUnknown*>(*out));
  return S_OK;
}

}  // namespace com
