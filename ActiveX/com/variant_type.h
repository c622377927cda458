// The automation types of the member tables as VARTYPEs and back. Needs only the base types, so
// code that includes the Windows headers in their C++ form (tests, containers) can use it too.
#pragma once

#include <wtypes.h>

#include "automation/members.h"

namespace com {

constexpr VARTYPE VariantTypeOf(automation::Type type) {
  switch (type) {
    case automation::Type::kBool: return VT_BOOL;
    case automation::Type::kUI1: return VT_UI1;
    case automation::Type::kI2: return VT_I2;
    case automation::Type::kI4: return VT_I4;
    case automation::Type::kUI4: return VT_UI4;
    case automation::Type::kText: return VT_BSTR;
    case automation::Type::kVoid: break;
  }
  return VT_EMPTY;
}

// kVoid for the types no control uses.
constexpr automation::Type TypeOfVariant(VARTYPE vt) {
  switch (vt) {
    case VT_BOOL: return automation::Type::kBool;
    case VT_UI1: return automation::Type::kUI1;
    case VT_I2: return automation::Type::kI2;
    case VT_I4:
    case VT_INT: return automation::Type::kI4;
    case VT_UI4:
    case VT_UINT: return automation::Type::kUI4;
    case VT_BSTR: return automation::Type::kText;
    default: return automation::Type::kVoid;
  }
}

}  // namespace com
