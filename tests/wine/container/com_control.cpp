#include "com_control.h"

#include <cstdio>

#include "com/variant_type.h"
#include "host/host.h"

namespace container {

using automation::Access;
using automation::HResult;
using automation::Type;
using automation::Value;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

namespace {

// Script strings reach the control as a page's would: in the system code page, as BSTRs.
BSTR BstrFromAnsi(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (out != nullptr) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, n);
  return out;
}

std::string AnsiFromBstr(BSTR text) {
  const int len = static_cast<int>(SysStringLen(text));
  if (len == 0) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text, len, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, len, out.data(), n, nullptr, nullptr);
  return out;
}

// v is cleared first; false when out of memory.
bool ToVariant(const Value& value, VARIANT* v) {
  VariantInit(v);
  V_VT(v) = com::VariantTypeOf(value.type);
  switch (value.type) {
    case Type::kBool: V_BOOL(v) = value.number ? VARIANT_TRUE : VARIANT_FALSE; break;
    case Type::kUI1: V_UI1(v) = static_cast<BYTE>(value.number); break;
    case Type::kI2: V_I2(v) = static_cast<SHORT>(value.number); break;
    case Type::kI4: V_I4(v) = static_cast<LONG>(value.number); break;
    case Type::kUI4: V_UI4(v) = static_cast<ULONG>(value.number); break;
    case Type::kText:
      V_BSTR(v) = BstrFromAnsi(value.text);
      if (V_BSTR(v) == nullptr) return false;
      break;
    case Type::kVoid: break;
  }
  return true;
}

// Whatever a control writes into a bag, as the host prints it.
Value FromVariant(VARIANT& v) {
  switch (V_VT(&v)) {
    case VT_BOOL: return Value::Bool(V_BOOL(&v) != VARIANT_FALSE);
    case VT_UI1: return Value::Byte(V_UI1(&v));
    case VT_I2: return Value::Short(V_I2(&v));
    case VT_I4: return Value::Int(V_I4(&v));
    case VT_UI4: return Value::Unsigned(V_UI4(&v));
    case VT_BSTR: return Value::Text(AnsiFromBstr(V_BSTR(&v)));
    default: break;
  }
  VARIANT text;
  VariantInit(&text);
  Value out = Value::Text("?");
  if (SUCCEEDED(VariantChangeType(&text, &v, 0, VT_BSTR))) out = Value::Text(AnsiFromBstr(V_BSTR(&text)));
  VariantClear(&text);
  return out;
}

template <class I>
void ReleaseAndNull(I*& p) {
  if (p != nullptr) p->Release();
  p = nullptr;
}

// A page parameter as a value of the type asked for. The 16-bit and unsigned numbers are read as
// text and converted as the browser's bag converts them, with its range checks.
HResult CoerceParam(const axhost::Word& word, Type type, Value* out) {
  if (type != Type::kI2 && type != Type::kUI4) return axhost::CoerceWord(word, type, out);
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = BstrFromAnsi(word.text);
  const HRESULT hr = VariantChangeType(&v, &v, 0, com::VariantTypeOf(type));
  if (SUCCEEDED(hr)) *out = type == Type::kI2 ? Value::Short(V_I2(&v)) : Value::Unsigned(V_UI4(&v));
  VariantClear(&v);
  return hr;
}

// The page's parameters as the browser hands them to a control: looked up by name regardless of
// case, the last of several winning, converted to the type the control asks for.
class PageBag final : public IPropertyBag {
 public:
  explicit PageBag(const axhost::Params& params) : params_(params) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the caller's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override {
    if (name == nullptr || v == nullptr) return E_POINTER;
    const axhost::Word* found = nullptr;
    for (const auto& [param, word] : params_)
      if (lstrcmpiW(Wide(param).c_str(), name) == 0) found = &word;
    if (found == nullptr) return E_INVALIDARG;
    const VARTYPE want = V_VT(v);
    const Type type = want == VT_EMPTY ? Type::kText : com::TypeOfVariant(want);
    if (type == Type::kVoid) return DISP_E_TYPEMISMATCH;
    Value value;
    const HResult hr = CoerceParam(*found, type, &value);
    if (hr != automation::kS_OK) return hr;
    return ToVariant(value, v) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  const axhost::Params& params_;
};

// Records what a control saves, in the order it writes.
class SaveBag final : public IPropertyBag {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT*, IErrorLog*) override { return E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* v) override {
    if (name == nullptr || v == nullptr) return E_POINTER;
    saved.emplace_back(Utf8(name), FromVariant(*v));
    return S_OK;
  }
  axhost::Saved saved;
};

}  // namespace

// Where the control sits in the container's window.
constexpr RECT kPlace = {10, 10, 330, 250};

// Prints each event the control fires, by the name its source interface gives it.
class EventSink final : public IDispatch {
 public:
  EventSink(ITypeInfo* source, IID iid) : source_(source), iid_(iid) { source_->AddRef(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, iid_)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
      source_->Release();
      delete this;
    }
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    BSTR name = nullptr;
    std::string text = "event ";
    if (SUCCEEDED(source_->GetDocumentation(id, &name, nullptr, nullptr, nullptr)) && name != nullptr)
      text += Utf8(std::wstring(name, SysStringLen(name)));
    else
      text += std::to_string(id);
    SysFreeString(name);
    axhost::PrintLine(text);
    if (result) VariantInit(result);
    return S_OK;
  }

 private:
  ITypeInfo* source_;
  IID iid_;
  LONG refs_ = 1;
};

std::unique_ptr<ComControl> ComControl::Create(const std::string& progid, std::string* error) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(Wide(progid).c_str(), &clsid))) {
    *error = "unknown ProgID " + progid;
    return nullptr;
  }
  std::unique_ptr<ComControl> c(new ComControl);
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&c->unknown_));
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    *error = "CoCreateInstance(" + progid + ") failed with " + code;
    return nullptr;
  }
  if (FAILED(c->unknown_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&c->ole_))) ||
      FAILED(c->unknown_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&c->dispatch_)))) {
    *error = progid + " is not a scriptable control";
    return nullptr;
  }
  if (!c->Describe(error)) return nullptr;
  c->frame_ = std::make_unique<comtest::ContainerWindow>();
  c->site_ = std::make_unique<comtest::Site>(c->frame_->Handle(), kPlace);
  // The control asks for its site first (its misc status says so), so it gets it before loading.
  c->ole_->SetClientSite(c->site_.get());
  c->ConnectEvents();  // before activation: creating the window may fire an event
  return c;
}

// Reads the default interface from the control's class information. A dual interface is called
// through its vtable as the type library lays it out, so a method's own HRESULT (S_FALSE
// included) reaches the script as it does in the native host; a dispinterface has no vtable and
// is called through IDispatch::Invoke.
bool ComControl::Describe(std::string* error) {
  IProvideClassInfo* provide = nullptr;
  ITypeInfo* klass = nullptr;
  if (FAILED(unknown_->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide))) ||
      FAILED(provide->GetClassInfo(&klass))) {
    ReleaseAndNull(provide);
    *error = "the control gives no class information";
    return false;
  }
  provide->Release();
  TYPEATTR* attr = nullptr;
  klass->GetTypeAttr(&attr);
  ITypeInfo* iface = nullptr;
  for (UINT i = 0; attr != nullptr && i < attr->cImplTypes; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    ITypeInfo* info = nullptr;
    if (FAILED(klass->GetImplTypeFlags(i, &flags)) || FAILED(klass->GetRefTypeOfImplType(i, &ref)) ||
        FAILED(klass->GetRefTypeInfo(ref, &info)))
      continue;
    if ((flags & IMPLTYPEFLAG_FDEFAULT) && !(flags & IMPLTYPEFLAG_FSOURCE) && iface == nullptr) iface = info;
    else info->Release();
  }
  if (attr) klass->ReleaseTypeAttr(attr);
  klass->Release();
  if (iface == nullptr) {
    *error = "the control has no default interface";
    return false;
  }
  // The dispatch view of a dual interface leads to its vtable view.
  TYPEATTR* ia = nullptr;
  iface->GetTypeAttr(&ia);
  if (ia->typekind == TKIND_DISPATCH && (ia->wTypeFlags & TYPEFLAG_FDUAL)) {
    HREFTYPE ref = 0;
    ITypeInfo* vt = nullptr;
    if (SUCCEEDED(iface->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(iface->GetRefTypeInfo(ref, &vt))) {
      iface->ReleaseTypeAttr(ia);
      iface->Release();
      iface = vt;
      iface->GetTypeAttr(&ia);
    }
  }
  const bool dual = ia->typekind == TKIND_INTERFACE;
  if ((!dual && ia->typekind != TKIND_DISPATCH) ||
      (dual && FAILED(unknown_->QueryInterface(ia->guid, reinterpret_cast<void**>(&vtable_))))) {
    iface->ReleaseTypeAttr(ia);
    iface->Release();
    *error = "the control's default interface is neither dual nor a dispinterface";
    return false;
  }
  for (UINT i = 0; i < ia->cFuncs; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(iface->GetFuncDesc(i, &fd))) continue;
    // A dispinterface may list what IDispatch brings; scripts never call those.
    if (!(fd->wFuncFlags & FUNCFLAG_FRESTRICTED)) {
      Described d{fd->memid, Access::kCall, dual ? fd->oVft : kNoVtable, {}, Type::kVoid};
      d.access = fd->invkind == INVOKE_PROPERTYGET ? Access::kGet
                 : fd->invkind == INVOKE_FUNC      ? Access::kCall
                                                   : Access::kPut;
      // A dispinterface method returns its value itself; a dual one through [out, retval].
      const VARTYPE returned = fd->elemdescFunc.tdesc.vt;
      if (returned != VT_HRESULT && returned != VT_VOID) d.out = com::TypeOfVariant(returned);
      for (SHORT p = 0; p < fd->cParams; ++p) {
        const ELEMDESC& e = fd->lprgelemdescParam[p];
        if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL)
          d.out = com::TypeOfVariant(e.tdesc.vt == VT_PTR ? e.tdesc.lptdesc->vt : e.tdesc.vt);
        else
          d.in.push_back(com::TypeOfVariant(e.tdesc.vt));
      }
      BSTR names[16] = {};
      UINT count = 0;
      iface->GetNames(fd->memid, names, 16, &count);
      std::vector<std::string> texts;
      for (UINT n = 0; n < count; ++n) {
        texts.push_back(Utf8(std::wstring(names[n], SysStringLen(names[n]))));
        SysFreeString(names[n]);
      }
      if (!texts.empty()) Add(d, texts[0], std::vector<std::string>(texts.begin() + 1, texts.end()));
    }
    iface->ReleaseFuncDesc(fd);
  }
  // A dispinterface's properties: each one a get and, unless read-only, a put.
  for (UINT i = 0; !dual && i < ia->cVars; ++i) {
    VARDESC* vd = nullptr;
    if (FAILED(iface->GetVarDesc(i, &vd))) continue;
    BSTR name = nullptr;
    UINT count = 0;
    iface->GetNames(vd->memid, &name, 1, &count);
    const std::string text = count > 0 ? Utf8(std::wstring(name, SysStringLen(name))) : "";
    SysFreeString(name);
    const Type type = com::TypeOfVariant(vd->elemdescVar.tdesc.vt);
    Add(Described{vd->memid, Access::kGet, kNoVtable, {}, type}, text, {});
    if (!(vd->wVarFlags & VARFLAG_FREADONLY)) Add(Described{vd->memid, Access::kPut, kNoVtable, {type}, Type::kVoid}, text, {});
    iface->ReleaseVarDesc(vd);
  }
  iface->ReleaseTypeAttr(ia);
  vtable_info_ = iface;
  return true;
}

namespace {
// The host reaches the control through ComControl::Invoke; the table only says what exists.
// Its script words are read as the host reads a long and narrowed here to the 16-bit or
// unsigned type, with the range check a page's script engine makes.
Type ScriptType(Type t) { return t == Type::kI2 || t == Type::kUI4 ? Type::kI4 : t; }

// v is left empty on failure.
HResult ArgVariant(const Value& value, Type type, VARIANT* v) {
  Value typed = value;
  typed.type = ScriptType(type);
  if (!ToVariant(typed, v)) return static_cast<HResult>(E_OUTOFMEMORY);
  if (typed.type == type) return automation::kS_OK;
  const HRESULT hr = VariantChangeType(v, v, 0, com::VariantTypeOf(type));
  if (FAILED(hr)) VariantClear(v);
  return hr;
}

HResult Present(automation::Dispatchable&, const Value*, Value*) { return automation::kE_NotImpl; }
}  // namespace

void ComControl::Add(const Described& d, const std::string& name, const std::vector<std::string>& param_names) {
  calls_.push_back(d);
  automation::Member* m = nullptr;
  for (auto& existing : members_)
    if (existing.dispid == d.dispid) m = &existing;
  if (m == nullptr) {
    names_.push_back(name);
    members_.push_back(automation::Member{d.dispid, names_.back().c_str(), automation::Kind::kMethod, Type::kVoid,
                                          nullptr, nullptr, nullptr, {}, nullptr, 0});
    m = &members_.back();
  }
  if (d.access == Access::kCall) {
    std::vector<automation::Param> params;
    for (std::size_t p = 0; p < d.in.size(); ++p) {
      names_.push_back(p < param_names.size() ? param_names[p] : "arg");
      params.push_back({names_.back().c_str(), ScriptType(d.in[p])});
    }
    params_.push_back(std::move(params));
    m->kind = automation::Kind::kMethod;
    m->type = ScriptType(d.out);
    m->call = &Present;
    m->params = params_.back();
  } else {
    m->kind = automation::Kind::kProperty;
    if (d.access == Access::kGet) {
      m->get = &Present;
      m->type = ScriptType(d.out);
    } else {
      m->put = &Present;
      if (!d.in.empty()) m->type = ScriptType(d.in[0]);
    }
  }
}

void ComControl::ConnectEvents() {
  IProvideClassInfo2* provide = nullptr;
  IConnectionPointContainer* points = nullptr;
  ITypeInfo* klass = nullptr;
  GUID source{};
  if (FAILED(unknown_->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&provide)))) return;
  if (SUCCEEDED(provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)) &&
      SUCCEEDED(provide->GetClassInfo(&klass)) &&
      SUCCEEDED(unknown_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))) &&
      SUCCEEDED(points->FindConnectionPoint(source, &point_))) {
    ITypeLib* lib = nullptr;
    ITypeInfo* info = nullptr;
    UINT index = 0;
    if (SUCCEEDED(klass->GetContainingTypeLib(&lib, &index)) && SUCCEEDED(lib->GetTypeInfoOfGuid(source, &info))) {
      sink_ = new EventSink(info, source);
      if (FAILED(point_->Advise(sink_, &cookie_))) cookie_ = 0;
      info->Release();
    }
    ReleaseAndNull(lib);
  }
  ReleaseAndNull(points);
  ReleaseAndNull(klass);
  provide->Release();
}

ComControl::~ComControl() {
  if (active_) DestroyControlWindow();
  if (point_ != nullptr && cookie_ != 0) point_->Unadvise(cookie_);
  ReleaseAndNull(point_);
  ReleaseAndNull(sink_);
  if (ole_ != nullptr) {
    ole_->Close(OLECLOSE_NOSAVE);
    ole_->SetClientSite(nullptr);
  }
  ReleaseAndNull(vtable_info_);
  ReleaseAndNull(vtable_);
  ReleaseAndNull(dispatch_);
  ReleaseAndNull(ole_);
  ReleaseAndNull(unknown_);
}

void ComControl::Load(const axhost::Params& params) {
  IPersistPropertyBag* persist = nullptr;
  if (FAILED(unknown_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)))) return;
  HRESULT hr;
  if (params.empty()) {
    hr = persist->InitNew();
  } else {
    PageBag bag(params);
    hr = persist->Load(&bag, nullptr);
  }
  if (FAILED(hr)) std::fprintf(stderr, "container: loading the parameters failed with 0x%08lX\n", hr);
  persist->Release();
}

axhost::Saved ComControl::Save() {
  SaveBag bag;
  IPersistPropertyBag* persist = nullptr;
  if (SUCCEEDED(unknown_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)))) {
    persist->Save(&bag, TRUE, TRUE);
    persist->Release();
  }
  return std::move(bag.saved);
}

void ComControl::CreateControlWindow() {
  RECT place = kPlace;
  const HRESULT hr = ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, frame_->Handle(), &place);
  if (FAILED(hr)) std::fprintf(stderr, "container: in-place activation failed with 0x%08lX\n", hr);
  active_ = SUCCEEDED(hr);
}

void ComControl::DestroyControlWindow() {
  IOleInPlaceObject* inplace = nullptr;
  if (SUCCEEDED(unknown_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)))) {
    inplace->InPlaceDeactivate();
    inplace->Release();
  }
  active_ = false;
}

HResult ComControl::Invoke(std::int32_t dispid, Access access, const Value* args, Value* result) {
  const Described* d = nullptr;
  for (const auto& c : calls_)
    if (c.dispid == dispid && c.access == access) d = &c;
  if (d == nullptr) return automation::kDispE_MemberNotFound;
  return d->vtable_offset == kNoVtable ? InvokeByDispatch(*d, args, result) : InvokeByVtable(*d, args, result);
}

// As a page's script engine calls a dispinterface: arguments last first, a put's value named
// DISPID_PROPERTYPUT, a failing call's code in the exception information.
HResult ComControl::InvokeByDispatch(const Described& d, const Value* args, Value* result) {
  std::vector<VARIANT> in(d.in.size());
  HResult hr = automation::kS_OK;
  std::size_t made = 0;
  for (; made < d.in.size(); ++made) {
    hr = ArgVariant(args[made], d.in[made], &in[d.in.size() - 1 - made]);
    if (hr != automation::kS_OK) break;
  }
  if (hr == automation::kS_OK) {
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = d.access == Access::kPut;
    DISPPARAMS params = {in.empty() ? nullptr : in.data(), put ? &named : nullptr, static_cast<UINT>(in.size()),
                         put ? 1u : 0u};
    const WORD flags = d.access == Access::kGet ? DISPATCH_PROPERTYGET : put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD;
    VARIANT out;
    VariantInit(&out);
    EXCEPINFO excep = {};
    UINT arg_err = 0;
    hr = dispatch_->Invoke(d.dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, put ? nullptr : &out, &excep,
                           &arg_err);
    if (hr == DISP_E_EXCEPTION) hr = excep.scode != 0 ? excep.scode : static_cast<HResult>(E_FAIL);
    if (SUCCEEDED(hr) && d.out != Type::kVoid && result != nullptr) {
      if (V_VT(&out) == com::VariantTypeOf(d.out) ||
          SUCCEEDED(VariantChangeType(&out, &out, 0, com::VariantTypeOf(d.out))))
        *result = FromVariant(out);
      else
        hr = static_cast<HResult>(DISP_E_TYPEMISMATCH);
    }
    VariantClear(&out);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
  }
  for (std::size_t i = 0; i < made; ++i) VariantClear(&in[d.in.size() - 1 - i]);
  return hr;
}

HResult ComControl::InvokeByVtable(const Described& d, const Value* args, Value* result) {
  constexpr std::size_t kMax = 8;
  const std::size_t n = d.in.size() + (d.out != Type::kVoid ? 1 : 0);
  if (n > kMax) return automation::kE_NotImpl;
  VARIANT in[kMax];
  VARIANT out_store;
  VARIANT out_ref;
  VARIANTARG* pointers[kMax];
  VARTYPE types[kMax];
  VariantInit(&out_store);
  HResult hr = automation::kS_OK;
  std::size_t made = 0;
  for (; made < d.in.size(); ++made) {
    hr = ArgVariant(args[made], d.in[made], &in[made]);
    if (hr != automation::kS_OK) break;
    pointers[made] = &in[made];
    types[made] = V_VT(&in[made]);
  }
  if (hr == automation::kS_OK && d.out != Type::kVoid) {
    // The callee writes through the reference into out_store, whatever the type's size.
    const VARTYPE vt = com::VariantTypeOf(d.out);
    V_VT(&out_store) = vt;
    V_VT(&out_ref) = static_cast<VARTYPE>(VT_BYREF | vt);
    V_BYREF(&out_ref) = &V_NONE(&out_store);
    if (d.out == Type::kText) V_BSTR(&out_store) = nullptr;
    pointers[made] = &out_ref;
    types[made] = V_VT(&out_ref);
  }
  if (hr == automation::kS_OK) {
    VARIANT returned;
    VariantInit(&returned);
    const HRESULT call = DispCallFunc(vtable_, d.vtable_offset, CC_STDCALL, VT_ERROR, static_cast<UINT>(n), types,
                                      pointers, &returned);
    hr = FAILED(call) ? call : V_ERROR(&returned);
    if (SUCCEEDED(hr) && d.out != Type::kVoid && result != nullptr) *result = FromVariant(out_store);
  }
  for (std::size_t i = 0; i < made; ++i) VariantClear(&in[i]);
  if (d.out == Type::kText) SysFreeString(V_BSTR(&out_store));
  return hr;
}

std::unique_ptr<axhost::HostedControl> CreateComControl(const std::string& progid) {
  std::string error;
  std::unique_ptr<ComControl> control = ComControl::Create(progid, &error);
  if (!control) std::fprintf(stderr, "container: %s\n", error.c_str());
  return control;
}

}  // namespace container
