// Persistence of a control's properties, driven by its member table: the members with a
// persist_order are loaded and saved by name, in that order, through the control's Invoke.
//
// Loading keeps a member's current value when the bag has no entry for it or when the entry
// cannot be coerced to the member's type (VariantChangeType); neither fails the load.
#pragma once

#include "automation/members.h"
#include "com/win.h"
#include "com/variant_type.h"

namespace com {

HRESULT LoadFromPropertyBag(automation::Dispatchable& control, IPropertyBag* bag, IErrorLog* log);
HRESULT SaveToPropertyBag(automation::Dispatchable& control, IPropertyBag* bag);

// The same members in a stream of our own layout: a count, then per member in persistence order
// its type and value (text as UTF-16). A stream with fewer members than the table loads those.
HRESULT LoadFromStream(automation::Dispatchable& control, IStream* stream);
HRESULT SaveToStream(automation::Dispatchable& control, IStream* stream);
HRESULT StreamSizeMax(automation::Dispatchable& control, ULARGE_INTEGER* size);

// VARIANT <-> member value; text is in the ANSI code page as the controls keep it.
HRESULT ValueToVariant(const automation::Value& value, VARIANT* out);
// v must already hold VariantTypeOf(type).
automation::Value ValueFromVariant(automation::Type type, const VARIANT& v);

}  // namespace com
