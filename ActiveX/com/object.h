// Helpers for objects laid out the kit's way: one struct, one member per interface, one
// reference count kept by the non-delegating IUnknown.
#pragma once

#include "com/win.h"

#include <cstddef>
#include <span>

namespace com {

// One row per IID the object answers; offset is where the interface member sits in the object
// (offsetof), so several IIDs may share one member (IDispatch and the dual interface).
struct InterfaceEntry {
  const IID* iid;
  std::size_t offset;
};

// The non-delegating QueryInterface: IID_IUnknown yields inner, the rows their members; the
// result is AddRef'd through the interface itself (so an aggregated object counts on its outer).
HRESULT QueryInterfaceFromTable(void* object, IUnknown* inner, std::span<const InterfaceEntry> table,
                                REFIID iid, void** out);

}  // namespace com
