// The receive control's COM object, loaded straight from ZubAudioR.dll: class objects and the
// module's unload answer, aggregation, IDispatch through the type library, property-bag
// persistence and class info (object safety is checked for every control in controls_test.cpp).
#include <gtest/gtest.h>

#include <ocidl.h>

#include <string>
#include <vector>

#include "ZubAudioR.h"
#include "dll_loader.h"
#include "ole_container.h"

namespace {

class ComTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_TRUE(dll_.Loaded());
  }
  void TearDown() override { CoUninitialize(); }
  IReceiveAudio* NewControl() {
    IReceiveAudio* control = nullptr;
    EXPECT_HRESULT_SUCCEEDED(dll_.Create(IID_IReceiveAudio, reinterpret_cast<void**>(&control)));
    return control;
  }
  comtest::ZubAudioRDll dll_;
};

template <class I>
I* Query(IUnknown* unknown, REFIID iid) {
  I* out = nullptr;
  return SUCCEEDED(unknown->QueryInterface(iid, reinterpret_cast<void**>(&out))) ? out : nullptr;
}

TEST_F(ComTest, ModuleCanUnloadOnlyWithoutObjectsAndLocks) {
  EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll_.GetClassObject(CLSID_ReceiveAudio, IID_IClassFactory,
                                               reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE) << "a live factory";
  IUnknown* control = nullptr;
  ASSERT_HRESULT_SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control)));
  ASSERT_HRESULT_SUCCEEDED(factory->LockServer(TRUE));
  factory->Release();
  EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE) << "a control and a lock";
  control->Release();
  EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE) << "a lock";
  ASSERT_HRESULT_SUCCEEDED(dll_.GetClassObject(CLSID_ReceiveAudio, IID_IClassFactory,
                                               reinterpret_cast<void**>(&factory)));
  ASSERT_HRESULT_SUCCEEDED(factory->LockServer(FALSE));
  factory->Release();
  EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
}

// Registration switches to the system locale for the type library and must switch back.
TEST_F(ComTest, RegistrationRestoresTheCallersThreadLocale) {
  const LCID saved = GetThreadLocale();
  const LCID other = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
  ASSERT_TRUE(SetThreadLocale(other));
  EXPECT_HRESULT_SUCCEEDED(dll_.RegisterServer());
  EXPECT_EQ(GetThreadLocale(), other);
  SetThreadLocale(saved);
}

TEST_F(ComTest, UnknownClassAndMissingPointersAreRefused) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(dll_.GetClassObject(IID_IReceiveAudio, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  IReceiveAudio* control = NewControl();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->get_IP(nullptr), E_POINTER);
  EXPECT_EQ(control->get_Port(nullptr), E_POINTER);
  EXPECT_EQ(control->get_PeakValue(nullptr), E_POINTER);
  EXPECT_EQ(control->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  control->Release();
}

// A minimal outer object: counts its own references and holds the inner unknown.
class Outer : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
  IUnknown* inner = nullptr;
};

TEST_F(ComTest, AggregatedControlDelegatesToTheOuterObject) {
  Outer outer;
  void* out = nullptr;
  EXPECT_EQ(dll_.Create(IID_IReceiveAudio, &out, &outer), CLASS_E_NOAGGREGATION);
  ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IUnknown, reinterpret_cast<void**>(&outer.inner), &outer));
  EXPECT_EQ(outer.refs, 1u) << "creating the inner object takes no outer reference";
  IReceiveAudio* control = nullptr;
  ASSERT_HRESULT_SUCCEEDED(outer.inner->QueryInterface(IID_IReceiveAudio, reinterpret_cast<void**>(&control)));
  EXPECT_EQ(outer.refs, 2u);
  IUnknown* identity = Query<IUnknown>(control, IID_IUnknown);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  EXPECT_EQ(outer.refs, 3u);
  identity->Release();
  control->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(outer.inner->Release(), 0u);
  EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
}

VARIANT Get(IDispatch* d, DISPID id) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT v;
  VariantInit(&v);
  EXPECT_HRESULT_SUCCEEDED(d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr));
  return v;
}

HRESULT Put(IDispatch* d, DISPID id, VARIANT value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&value, &named, 1, 1};
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

DISPID IdOf(IDispatch* d, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  EXPECT_HRESULT_SUCCEEDED(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
  return id;
}

std::wstring Text(const VARIANT& v) { return v.vt == VT_BSTR ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"?"; }

TEST_F(ComTest, DispatchReachesTheDefaultsByName) {
  IReceiveAudio* control = NewControl();
  ASSERT_NE(control, nullptr);
  IDispatch* d = Query<IDispatch>(control, IID_IDispatch);
  ASSERT_NE(d, nullptr);
  struct Row {
    const wchar_t* name;
    DISPID id;
    VARTYPE vt;
    LONG number;
  } const rows[] = {
      {L"Port", 3, VT_I4, 80},       {L"Volume", 4, VT_I4, 100}, {L"DelayTime", 5, VT_I4, 300},
      {L"StreamType", 6, VT_I4, 0},  {L"PeakValue", 10, VT_UI1, 255}, {L"Language", 11, VT_I4, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "DISPID " << row.id);
    EXPECT_EQ(IdOf(d, row.name), row.id);
    VARIANT v = Get(d, row.id);
    EXPECT_EQ(v.vt, row.vt);
    EXPECT_EQ(row.vt == VT_UI1 ? v.bVal : v.lVal, row.number);
  }
  EXPECT_EQ(IdOf(d, L"IP"), 2);
  VARIANT ip = Get(d, 2);
  EXPECT_EQ(Text(ip), L"192.168.0.2");
  VariantClear(&ip);
  DISPID ids[3] = {};
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"SetPassword"), const_cast<LPOLESTR>(L"Password"),
                      const_cast<LPOLESTR>(L"flag")};
  ASSERT_HRESULT_SUCCEEDED(d->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids));
  EXPECT_EQ(ids[0], 12);
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Volumes")};
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  d->Release();
  control->Release();
}

TEST_F(ComTest, DispatchCoercesArgumentsAndKeepsThePutRules) {
  IReceiveAudio* control = NewControl();
  ASSERT_NE(control, nullptr);
  IDispatch* d = Query<IDispatch>(control, IID_IDispatch);
  ASSERT_NE(d, nullptr);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(L"8080");
  ASSERT_HRESULT_SUCCEEDED(Put(d, 3, v));  // text coerced to the I4 the interface takes
  VariantClear(&v);
  LONG port = 0;
  ASSERT_HRESULT_SUCCEEDED(control->get_Port(&port));
  EXPECT_EQ(port, 8080);
  v.vt = VT_I4;
  v.lVal = 65536;
  ASSERT_HRESULT_SUCCEEDED(Put(d, 3, v));
  ASSERT_HRESULT_SUCCEEDED(control->get_Port(&port));
  EXPECT_EQ(port, 8080) << "65536 is ignored";
  // Text crosses as the ANSI code page: what goes in comes back.
  BSTR in = SysAllocString(L"カメラ.example");
  ASSERT_HRESULT_SUCCEEDED(control->put_IP(in));
  VARIANT ip = Get(d, 2);
  EXPECT_EQ(Text(ip), std::wstring(in)) << "code page " << GetACP();
  VariantClear(&ip);
  SysFreeString(in);
  ASSERT_HRESULT_SUCCEEDED(control->put_IP(nullptr));
  BSTR empty = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control->get_IP(&empty));
  EXPECT_EQ(SysStringLen(empty), 0u) << "a null BSTR is the empty text";
  SysFreeString(empty);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_HRESULT_SUCCEEDED(d->Invoke(7, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
  EXPECT_EQ(d->Invoke(99, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  d->Release();
  control->Release();
}

VARIANT Bstr(const wchar_t* s) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

TEST_F(ComTest, PropertyBagLoadCoercesSkipsAndKeepsDefaults) {
  IReceiveAudio* control = NewControl();
  ASSERT_NE(control, nullptr);
  IPersistPropertyBag* persist = Query<IPersistPropertyBag>(control, IID_IPersistPropertyBag);
  ASSERT_NE(persist, nullptr);
  comtest::MapBag bag;
  bag.values[L"Port"] = Bstr(L"8080");        // text for an I4: coerced
  bag.values[L"Volume"] = Bstr(L"loud");      // not a number: skipped, default kept
  VARIANT delay;
  delay.vt = VT_I2;
  delay.iVal = 500;
  bag.values[L"DelayTime"] = delay;
  bag.values[L"StreamType"] = Bstr(L"1");
  bag.values[L"Language"] = Bstr(L"1");       // not persisted: never read
  ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
  ASSERT_HRESULT_SUCCEEDED(persist->Load(&bag, nullptr));
  struct Row {
    HRESULT (STDMETHODCALLTYPE IReceiveAudio::*get)(LONG*);
    LONG want;
  } const rows[] = {
      {&IReceiveAudio::get_Port, 8080},      {&IReceiveAudio::get_Volume, 100},
      {&IReceiveAudio::get_DelayTime, 500},  {&IReceiveAudio::get_StreamType, 1},
      {&IReceiveAudio::get_Language, 0},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    LONG got = -1;
    ASSERT_HRESULT_SUCCEEDED((control->*rows[i].get)(&got));
    EXPECT_EQ(got, rows[i].want);
  }
  BSTR ip = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control->get_IP(&ip));
  EXPECT_EQ(std::wstring(ip), L"192.168.0.2") << "missing: default kept";
  SysFreeString(ip);

  comtest::MapBag saved;
  ASSERT_HRESULT_SUCCEEDED(persist->Save(&saved, TRUE, TRUE));
  EXPECT_EQ(saved.written, (std::vector<std::wstring>{L"IP", L"Port", L"Volume", L"DelayTime", L"StreamType"}));
  EXPECT_EQ(saved.values[L"Port"].vt, VT_I4);
  EXPECT_EQ(saved.values[L"Port"].lVal, 8080);
  EXPECT_EQ(Text(saved.values[L"IP"]), L"192.168.0.2");
  CLSID clsid = {};
  ASSERT_HRESULT_SUCCEEDED(persist->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_ReceiveAudio));
  persist->Release();
  control->Release();
}

TEST_F(ComTest, ClassInfoNamesTheClassAndItsEvents) {
  IReceiveAudio* control = NewControl();
  ASSERT_NE(control, nullptr);
  IProvideClassInfo2* info = Query<IProvideClassInfo2>(control, IID_IProvideClassInfo2);
  ASSERT_NE(info, nullptr);
  GUID events = {};
  ASSERT_HRESULT_SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
  EXPECT_TRUE(IsEqualGUID(events, DIID__IReceiveAudioEvents));
  ITypeInfo* type = nullptr;
  ASSERT_HRESULT_SUCCEEDED(info->GetClassInfo(&type));
  TYPEATTR* ta = nullptr;
  ASSERT_HRESULT_SUCCEEDED(type->GetTypeAttr(&ta));
  EXPECT_TRUE(IsEqualGUID(ta->guid, CLSID_ReceiveAudio));
  EXPECT_EQ(ta->typekind, TKIND_COCLASS);
  type->ReleaseTypeAttr(ta);
  type->Release();
  info->Release();
  control->Release();
}

}  // namespace
