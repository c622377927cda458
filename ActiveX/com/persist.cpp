#include "com/persist.h"

#include <algorithm>
#include <string>
#include <vector>

#include "com/text.h"

namespace com {

using automation::Access;
using automation::Type;
using automation::Value;

HRESULT ValueToVariant(const Value& value, VARIANT* out) {
  VariantInit(out);
  switch (value.type) {
    case Type::kBool:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = value.number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case Type::kUI1:
      V_VT(out) = VT_UI1;
      V_UI1(out) = static_cast<BYTE>(value.number);
      return S_OK;
    case Type::kI2:
      V_VT(out) = VT_I2;
      V_I2(out) = static_cast<SHORT>(value.number);
      return S_OK;
    case Type::kI4:
      V_VT(out) = VT_I4;
      V_I4(out) = static_cast<LONG>(value.number);
      return S_OK;
    case Type::kUI4:
      V_VT(out) = VT_UI4;
      V_UI4(out) = static_cast<ULONG>(value.number);
      return S_OK;
    case Type::kText:
      V_BSTR(out) = BstrFromAnsi(value.text);
      if (V_BSTR(out) == nullptr) return E_OUTOFMEMORY;
      V_VT(out) = VT_BSTR;
      return S_OK;
    case Type::kVoid:
      break;
  }
  return S_OK;
}

Value ValueFromVariant(Type type, const VARIANT& v) {
  switch (type) {
    case Type::kBool: return Value::Bool(V_BOOL(&v) != VARIANT_FALSE);
    case Type::kUI1: return Value::Byte(V_UI1(&v));
    case Type::kI2: return Value::Short(V_I2(&v));
    case Type::kI4: return Value::Int(V_I4(&v));
    case Type::kUI4: return Value::Unsigned(V_UI4(&v));
    case Type::kText: return Value::Text(AnsiFromBstr(V_BSTR(&v)));
    case Type::kVoid: break;
  }
  return Value{};
}

namespace {

std::wstring WideName(const char* name) { return std::wstring(name, name + std::char_traits<char>::length(name)); }

}  // namespace

HRESULT LoadFromPropertyBag(automation::Dispatchable& control, IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) return E_POINTER;
  for (const automation::Member* m : automation::PersistedMembers(control.Members())) {
    const std::wstring name = WideName(m->name);
    const VARTYPE want = VariantTypeOf(m->type);
    VARIANT v{};
    V_VT(&v) = want;  // a hint; a bag may still answer in a type of its own
    if (FAILED(IPropertyBag_Read(bag, name.c_str(), &v, log))) continue;
    if (V_VT(&v) == want || SUCCEEDED(VariantChangeType(&v, &v, 0, want))) {
      const Value value = ValueFromVariant(m->type, v);
      Value ignored;
      control.Invoke(m->dispid, Access::kPut, &value, &ignored);
    }
    VariantClear(&v);
  }
  return S_OK;
}

HRESULT SaveToPropertyBag(automation::Dispatchable& control, IPropertyBag* bag) {
  if (bag == nullptr) return E_POINTER;
  for (const automation::Member* m : automation::PersistedMembers(control.Members())) {
    Value value;
    HRESULT hr = control.Invoke(m->dispid, Access::kGet, nullptr, &value);
    if (FAILED(hr)) return hr;
    VARIANT v;
    hr = ValueToVariant(value, &v);
    if (SUCCEEDED(hr)) hr = IPropertyBag_Write(bag, WideName(m->name).c_str(), &v);
    VariantClear(&v);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

namespace {

HRESULT WriteBytes(IStream* stream, const void* data, ULONG size) {
  ULONG written = 0;
  const HRESULT hr = IStream_Write(stream, data, size, &written);
  if (FAILED(hr)) return hr;
  return written == size ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT ReadBytes(IStream* stream, void* data, ULONG size) {
  ULONG read = 0;
  const HRESULT hr = IStream_Read(stream, data, size, &read);
  if (FAILED(hr)) return hr;
  return read == size ? S_OK : STG_E_READFAULT;
}

// The stored form of one value; text is kept as UTF-16 so a stream reads back the same on a
// system with another ANSI code page.
std::wstring WideText(const std::string& ansi) {
  BSTR b = BstrFromAnsi(ansi);
  std::wstring w = b != nullptr ? std::wstring(b, SysStringLen(b)) : std::wstring();
  SysFreeString(b);
  return w;
}

}  // namespace

HRESULT SaveToStream(automation::Dispatchable& control, IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  const auto members = automation::PersistedMembers(control.Members());
  const DWORD count = static_cast<DWORD>(members.size());
  HRESULT hr = WriteBytes(stream, &count, sizeof count);
  for (const automation::Member* m : members) {
    if (FAILED(hr)) return hr;
    Value value;
    hr = control.Invoke(m->dispid, Access::kGet, nullptr, &value);
    if (FAILED(hr)) return hr;
    const BYTE type = static_cast<BYTE>(m->type);
    hr = WriteBytes(stream, &type, 1);
    if (FAILED(hr)) return hr;
    if (m->type == Type::kText) {
      const std::wstring w = WideText(value.text);
      const DWORD chars = static_cast<DWORD>(w.size());
      hr = WriteBytes(stream, &chars, sizeof chars);
      if (SUCCEEDED(hr)) hr = WriteBytes(stream, w.data(), chars * sizeof(wchar_t));
    } else {
      const LONG number = static_cast<LONG>(value.number);
      hr = WriteBytes(stream, &number, sizeof number);
    }
  }
  return hr;
}

namespace {

// Longer text is taken for another layout or a damaged stream.
constexpr DWORD kMaxTextChars = 0x100000;
// Text is read in pieces, so the memory taken follows the bytes the stream really holds and
// not the length it claims.
constexpr DWORD kTextChunkChars = 4096;

HRESULT ReadText(IStream* stream, DWORD chars, std::string* out) {
  std::wstring w;
  while (w.size() < chars) {
    const DWORD n = std::min<DWORD>(kTextChunkChars, chars - static_cast<DWORD>(w.size()));
    const std::size_t at = w.size();
    w.resize(at + n);
    const HRESULT hr = ReadBytes(stream, w.data() + at, n * sizeof(wchar_t));
    if (FAILED(hr)) return hr;
  }
  BSTR b = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
  if (b == nullptr) return E_OUTOFMEMORY;
  *out = AnsiFromBstr(b);
  SysFreeString(b);
  return S_OK;
}

}  // namespace

HRESULT LoadFromStream(automation::Dispatchable& control, IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  const auto members = automation::PersistedMembers(control.Members());
  DWORD count = 0;
  HRESULT hr = ReadBytes(stream, &count, sizeof count);
  if (FAILED(hr)) return hr;
  // Everything is read before anything is put: a stream that ends early or holds another
  // layout leaves the control as it was, never half loaded.
  std::vector<Value> values;
  for (std::size_t i = 0; i < members.size() && i < count; ++i) {
    const automation::Member* m = members[i];
    BYTE type = 0;
    hr = ReadBytes(stream, &type, 1);
    if (FAILED(hr)) return hr;
    if (type != static_cast<BYTE>(m->type)) return E_FAIL;
    Value value;
    if (m->type == Type::kText) {
      DWORD chars = 0;
      hr = ReadBytes(stream, &chars, sizeof chars);
      if (FAILED(hr)) return hr;
      if (chars > kMaxTextChars) return E_FAIL;
      value.type = Type::kText;
      hr = ReadText(stream, chars, &value.text);
      if (FAILED(hr)) return hr;
    } else {
      LONG number = 0;
      hr = ReadBytes(stream, &number, sizeof number);
      if (FAILED(hr)) return hr;
      // Every number is stored in 32 bits; an unsigned one reads back unsigned.
      value = Value::Number(m->type, m->type == Type::kUI4 ? static_cast<std::int64_t>(static_cast<ULONG>(number))
                                                           : static_cast<std::int64_t>(number));
    }
    values.push_back(std::move(value));
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    Value ignored;
    control.Invoke(members[i]->dispid, Access::kPut, &values[i], &ignored);
  }
  return S_OK;
}

HRESULT StreamSizeMax(automation::Dispatchable& control, ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  ULONGLONG bytes = sizeof(DWORD);
  for (const automation::Member* m : automation::PersistedMembers(control.Members())) {
    Value value;
    const HRESULT hr = control.Invoke(m->dispid, Access::kGet, nullptr, &value);
    if (FAILED(hr)) return hr;
    bytes += 1 + (m->type == Type::kText ? sizeof(DWORD) + WideText(value.text).size() * sizeof(wchar_t)
                                         : sizeof(LONG));
  }
  size->QuadPart = bytes;
  return S_OK;
}

}  // namespace com
