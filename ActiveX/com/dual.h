// The vtable of a control's dual interface, made of generic entries: a deliverable lists them in
// its IDL's order and writes no function of its own.
//
//   const IReceiveAudioVtbl kVtbl = {
//       ZUB_DUAL_IDISPATCH_ENTRIES(IReceiveAudio),
//       com::dual::Call<IReceiveAudio, 1>,                          // HRESULT Play()
//       com::dual::Get<IReceiveAudio, 2, Type::kText>,              // [propget] IP(BSTR*)
//       com::dual::Put<IReceiveAudio, 2, Type::kText>,              // [propput] IP(BSTR)
//       com::dual::Call<IReceiveAudio, 12, Type::kText, Type::kUI1>,  // SetPassword(BSTR, BYTE)
//       com::dual::CallResult<IFoo, 5, Type::kText, Type::kI2>,     // Name(SHORT, [out, retval] BSTR*)
//   };
//
// Every entry reaches the member table through the same route as IDispatch::Invoke
// (com/dispatch.h), so a kNotifyChanges put notifies from the vtable too. The C types are those
// widl writes: BSTR, LONG, BYTE, SHORT, VARIANT_BOOL, ULONG. A BSTR argument is converted to the
// ANSI code page and back (a null BSTR is empty text); a null out pointer is E_POINTER.
#pragma once

#include "com/win.h"

#include "automation/members.h"
#include "com/text.h"

namespace com::dual {

// The generic IDispatch of the object the interface belongs to (the default interface's slot).
HRESULT STDMETHODCALLTYPE DispatchQueryInterface(IDispatch* iface, REFIID iid, void** out);
ULONG STDMETHODCALLTYPE DispatchAddRef(IDispatch* iface);
ULONG STDMETHODCALLTYPE DispatchRelease(IDispatch* iface);
HRESULT STDMETHODCALLTYPE DispatchGetTypeInfoCount(IDispatch* iface, UINT* count);
HRESULT STDMETHODCALLTYPE DispatchGetTypeInfo(IDispatch* iface, UINT index, LCID lcid, ITypeInfo** out);
HRESULT STDMETHODCALLTYPE DispatchGetIDsOfNames(IDispatch* iface, REFIID riid, LPOLESTR* names, UINT count,
                                                LCID lcid, DISPID* ids);
HRESULT STDMETHODCALLTYPE DispatchInvoke(IDispatch* iface, DISPID id, REFIID riid, LCID lcid, WORD flags,
                                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_err);
// One member access from a vtable entry.
HRESULT Run(IDispatch* iface, DISPID id, automation::Access access, const automation::Value* args,
            automation::Value* result);

template <automation::Type T> struct CType;
template <> struct CType<automation::Type::kText> { using type = BSTR; };
template <> struct CType<automation::Type::kI4> { using type = LONG; };
template <> struct CType<automation::Type::kUI1> { using type = BYTE; };
template <> struct CType<automation::Type::kI2> { using type = SHORT; };
template <> struct CType<automation::Type::kBool> { using type = VARIANT_BOOL; };
template <> struct CType<automation::Type::kUI4> { using type = ULONG; };
template <automation::Type T> using C = typename CType<T>::type;

template <automation::Type T> automation::Value ToValue(C<T> v) {
  if constexpr (T == automation::Type::kText) return automation::Value::Text(AnsiFromBstr(v));
  else if constexpr (T == automation::Type::kBool) return automation::Value::Bool(v != VARIANT_FALSE);
  else return automation::Value::Number(T, static_cast<std::int64_t>(v));
}

// E_OUTOFMEMORY when a BSTR cannot be made.
template <automation::Type T> HRESULT FromValue(const automation::Value& v, C<T>* out) {
  if constexpr (T == automation::Type::kText) {
    *out = BstrFromAnsi(v.text);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  } else if constexpr (T == automation::Type::kBool) {
    *out = v.number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  } else {
    *out = static_cast<C<T>>(v.number);
    return S_OK;
  }
}

template <class I> IDispatch* AsDispatch(I* iface) { return reinterpret_cast<IDispatch*>(iface); }

// The seven IDispatch entries.
template <class I> HRESULT STDMETHODCALLTYPE QueryInterface(I* iface, REFIID iid, void** out) {
  return DispatchQueryInterface(AsDispatch(iface), iid, out);
}
template <class I> ULONG STDMETHODCALLTYPE AddRef(I* iface) { return DispatchAddRef(AsDispatch(iface)); }
template <class I> ULONG STDMETHODCALLTYPE Release(I* iface) { return DispatchRelease(AsDispatch(iface)); }
template <class I> HRESULT STDMETHODCALLTYPE GetTypeInfoCount(I* iface, UINT* count) {
  return DispatchGetTypeInfoCount(AsDispatch(iface), count);
}
template <class I> HRESULT STDMETHODCALLTYPE GetTypeInfo(I* iface, UINT index, LCID lcid, ITypeInfo** out) {
  return DispatchGetTypeInfo(AsDispatch(iface), index, lcid, out);
}
template <class I>
HRESULT STDMETHODCALLTYPE GetIDsOfNames(I* iface, REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  return DispatchGetIDsOfNames(AsDispatch(iface), riid, names, count, lcid, ids);
}
template <class I>
HRESULT STDMETHODCALLTYPE Invoke(I* iface, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* arg_err) {
  return DispatchInvoke(AsDispatch(iface), id, riid, lcid, flags, params, result, excep, arg_err);
}

// [propget] Name([out, retval] C<T>*)
template <class I, DISPID Id, automation::Type T> HRESULT STDMETHODCALLTYPE Get(I* iface, C<T>* out) {
  if (out == nullptr) return E_POINTER;
  automation::Value v;
  const HRESULT hr = Run(AsDispatch(iface), Id, automation::Access::kGet, nullptr, &v);
  if (FAILED(hr)) return hr;
  const HRESULT made = FromValue<T>(v, out);
  return FAILED(made) ? made : hr;
}

// [propput] Name([in] C<T>)
template <class I, DISPID Id, automation::Type T> HRESULT STDMETHODCALLTYPE Put(I* iface, C<T> value) {
  const automation::Value v = ToValue<T>(value);
  return Run(AsDispatch(iface), Id, automation::Access::kPut, &v, nullptr);
}

// A method without a result: Name([in] C<In>...)
template <class I, DISPID Id, automation::Type... In> HRESULT STDMETHODCALLTYPE Call(I* iface, C<In>... args) {
  const automation::Value values[sizeof...(In) + 1] = {ToValue<In>(args)...};
  automation::Value ignored;
  return Run(AsDispatch(iface), Id, automation::Access::kCall, values, &ignored);
}

// A method with a result: Name([in] C<In>..., [out, retval] C<R>*)
template <class I, DISPID Id, automation::Type R, automation::Type... In>
HRESULT STDMETHODCALLTYPE CallResult(I* iface, C<In>... args, C<R>* out) {
  if (out == nullptr) return E_POINTER;
  const automation::Value values[sizeof...(In) + 1] = {ToValue<In>(args)...};
  automation::Value v;
  const HRESULT hr = Run(AsDispatch(iface), Id, automation::Access::kCall, values, &v);
  if (FAILED(hr)) return hr;
  const HRESULT made = FromValue<R>(v, out);
  return FAILED(made) ? made : hr;
}

}  // namespace com::dual

// The seven IUnknown and IDispatch entries that open every dual interface's vtable.
#define ZUB_DUAL_IDISPATCH_ENTRIES(I)                                                     \
  com::dual::QueryInterface<I>, com::dual::AddRef<I>, com::dual::Release<I>,              \
      com::dual::GetTypeInfoCount<I>, com::dual::GetTypeInfo<I>, com::dual::GetIDsOfNames<I>, \
      com::dual::Invoke<I>
