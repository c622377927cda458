#include "com/dispatch.h"

#include <string>
#include <vector>

#include "com/persist.h"

namespace com {

using automation::Access;
using automation::Member;
using automation::Value;

namespace {

std::string Narrow(const wchar_t* name) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, name, -1, s.data(), n, nullptr, nullptr);
  return s;
}

// The member a DISPID names for IDispatch: none for hidden rows.
const Member* Scriptable(automation::Dispatchable& control, DISPID id) {
  const Member* m = automation::FindMember(control.Members(), static_cast<std::int32_t>(id));
  return m != nullptr && (m->flags & automation::kHidden) == 0 ? m : nullptr;
}

// The access a call makes: a method when one is asked for and the member is one, else the
// property access the flags name (script engines ask for a value with GET and METHOD together).
bool AccessOf(const Member& m, WORD flags, Access* out) {
  if (m.kind == automation::Kind::kMethod) {
    *out = Access::kCall;
    return (flags & DISPATCH_METHOD) != 0;
  }
  if ((flags & DISPATCH_PROPERTYGET) && m.get != nullptr) {
    *out = Access::kGet;
    return true;
  }
  if ((flags & DISPATCH_PROPERTYPUT) && m.put != nullptr) {
    *out = Access::kPut;
    return true;
  }
  return false;
}

// The argument checks, made here so every system answers alike: the count must match, a put
// takes exactly its one value named DISPID_PROPERTYPUT, and an argument that cannot be coerced to
// its parameter's type is named in *arg_err. rgvarg holds the arguments last first.
HRESULT TakeArguments(const Member& m, Access access, const DISPPARAMS& params, UINT* arg_err,
                      std::vector<Value>* out) {
  std::vector<automation::Type> types;
  if (access == Access::kCall) {
    for (const automation::Param& p : m.params) types.push_back(p.type);
  } else if (access == Access::kPut) {
    types.push_back(m.type);
  }
  if (access == Access::kPut) {
    if (params.cNamedArgs != 1 || params.rgdispidNamedArgs == nullptr ||
        params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTFOUND;
  } else if (params.cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  const UINT inputs = static_cast<UINT>(types.size());
  if (params.cArgs != inputs) return DISP_E_BADPARAMCOUNT;
  if (inputs > 0 && params.rgvarg == nullptr) return E_INVALIDARG;
  for (UINT p = 0; p < inputs; ++p) {
    const UINT slot = inputs - 1 - p;
    VARIANT coerced;
    VariantInit(&coerced);
    const HRESULT hr = VariantChangeType(&coerced, &params.rgvarg[slot], 0, VariantTypeOf(types[p]));
    if (FAILED(hr)) {
      if (arg_err != nullptr) *arg_err = slot;
      return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    }
    out->push_back(ValueFromVariant(types[p], coerced));
    VariantClear(&coerced);
  }
  return S_OK;
}

}  // namespace

HRESULT InvokeMember(automation::Dispatchable& control, ConnectionPoint* notify, DISPID id, Access access,
                     const Value* args, Value* result) {
  const Member* m = automation::FindMember(control.Members(), static_cast<std::int32_t>(id));
  const bool notifies = access == Access::kPut && notify != nullptr && m != nullptr &&
                        (m->flags & automation::kNotifyChanges) != 0;
  if (notifies && RequestEdit(*notify, id) == S_FALSE) return CTL_E_SETNOTPERMITTED;
  const HRESULT hr = control.Invoke(static_cast<std::int32_t>(id), access, args, result);
  if (notifies && SUCCEEDED(hr)) NotifyChanged(*notify, id);
  return hr;
}

HRESULT DispatchGetIDsOfNames(automation::Dispatchable& control, REFIID reserved, LPOLESTR* names, UINT count,
                              DISPID* ids) {
  if (!IsEqualIID(reserved, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  if (count == 0) return S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const Member* m = names[0] != nullptr ? automation::FindScriptable(control.Members(), Narrow(names[0])) : nullptr;
  if (m == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = m->dispid;
  // The further names are the method's parameters, each answered with its position.
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    const std::string name = names[i] != nullptr ? Narrow(names[i]) : std::string();
    for (std::size_t p = 0; p < m->params.size(); ++p)
      if (automation::SameName(m->params[p].name, name)) ids[i] = static_cast<DISPID>(p);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchInvoke(automation::Dispatchable& control, ConnectionPoint* notify, DISPID id, REFIID reserved,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  if (!IsEqualIID(reserved, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  const Member* m = Scriptable(control, id);
  Access access = Access::kGet;
  if (m == nullptr || !AccessOf(*m, flags, &access)) return DISP_E_MEMBERNOTFOUND;
  std::vector<Value> args;
  HRESULT hr = TakeArguments(*m, access, *params, arg_err, &args);
  if (FAILED(hr)) return hr;
  Value value;
  hr = InvokeMember(control, notify, id, access, args.data(), &value);
  if (FAILED(hr)) {
    if (excep == nullptr) return hr;
    *excep = EXCEPINFO{};
    excep->scode = hr;
    return DISP_E_EXCEPTION;
  }
  if (result != nullptr) {
    const bool has_value = access == Access::kGet || (access == Access::kCall && m->type != automation::Type::kVoid);
    if (has_value) {
      const HRESULT made = ValueToVariant(value, result);
      if (FAILED(made)) return made;
    } else {
      VariantInit(result);
    }
  }
  return hr;
}

}  // namespace com
