// The COM kit with a control whose default interface is a dispinterface (KitTest.dll, built
// from tests/wine/kit/): no vtable of its own, so everything goes through the member table's
// IDispatch. Names, coercion to the 16-bit, boolean and unsigned types, results and codes of
// methods, the stock Enabled's notifications, hidden rows, persistence with the extent, and
// events from the container's thread and from a worker.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "KitTest.h"
#include "automation/members.h"
#include "dll_loader.h"
#include "kit/kit_test_control.h"
#include "ole_container.h"

namespace {

using kittest::kCount;
using kittest::kDescribe;
using kittest::kFireFromThread;
using kittest::kFireHere;
using kittest::kFlag;
using kittest::kLevel;
constexpr DISPID kEnabled = automation::kDispidEnabled;

// Records what the control tells its container: events (with the thread they arrive on) and
// property notifications, answering OnRequestEdit as told.
class Sink : public IDispatch, public IPropertyNotifySink {
 public:
  virtual ~Sink() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DKitTestEvents)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
      *out = static_cast<IPropertyNotifySink*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    Event e{id, GetCurrentThreadId(), flags, {}};
    for (UINT i = 0; i < params->cArgs; ++i) {
      const VARIANT& v = params->rgvarg[params->cArgs - 1 - i];
      e.args.push_back(v.vt == VT_I2 ? v.iVal : -99999);
    }
    events.push_back(e);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    notes.push_back("changed " + std::to_string(id));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID id) override {
    notes.push_back("request " + std::to_string(id));
    return edit_answer;
  }

  struct Event {
    DISPID id;
    DWORD thread;
    WORD flags;
    std::vector<int> args;  // VT_I2 arguments in declared order
  };
  ULONG refs = 1;
  std::vector<Event> events;
  std::vector<std::string> notes;
  HRESULT edit_answer = S_OK;
};

VARIANT I2(SHORT n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = n;
  return v;
}
VARIANT I4(LONG n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}
VARIANT R8(double d) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = d;
  return v;
}
VARIANT Bstr(const wchar_t* s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

std::wstring AsText(const VARIANT& v) {
  VARIANT t;
  VariantInit(&t);
  if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR))) return L"<not text>";
  std::wstring s(t.bstrVal, SysStringLen(t.bstrVal));
  VariantClear(&t);
  return s;
}

class KitTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IUnknown, reinterpret_cast<void**>(&unknown_)));
    ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_)));
  }
  void TearDown() override {
    if (dispatch_ != nullptr) dispatch_->Release();
    if (unknown_ != nullptr) {
      EXPECT_EQ(unknown_->Release(), 0u);
    }
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    EXPECT_EQ(sink_.refs, 1u) << "the control let go of every sink reference";
    OleUninitialize();
  }

  HRESULT Put(DISPID id, VARIANT value, UINT* arg_err = nullptr, EXCEPINFO* excep = nullptr) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, excep, arg_err);
    VariantClear(&value);
    return hr;
  }
  // The property as text; "<hr>" when the get fails.
  std::wstring Get(DISPID id, VARTYPE* vt = nullptr) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
    if (FAILED(hr)) return L"<" + std::to_wstring(hr) + L">";
    if (vt != nullptr) *vt = v.vt;
    std::wstring s = v.vt == VT_BOOL ? (v.boolVal != VARIANT_FALSE ? L"true" : L"false") : AsText(v);
    VariantClear(&v);
    return s;
  }
  // args in declared order.
  HRESULT Call(DISPID id, std::vector<VARIANT> args, VARIANT* result, EXCEPINFO* excep = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                         0};
    VariantInit(result);
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, excep, nullptr);
    for (VARIANT& v : reversed) VariantClear(&v);
    return hr;
  }
  DWORD Connect(REFIID iid) {
    IConnectionPointContainer* container = nullptr;
    EXPECT_HRESULT_SUCCEEDED(
        unknown_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)));
    IConnectionPoint* point = nullptr;
    EXPECT_HRESULT_SUCCEEDED(container->FindConnectionPoint(iid, &point));
    DWORD cookie = 0;
    EXPECT_HRESULT_SUCCEEDED(point->Advise(static_cast<IDispatch*>(&sink_), &cookie));
    point->Release();
    container->Release();
    return cookie;
  }

  comtest::ControlDll dll_{L"KitTest.dll", CLSID_KitTest};
  IUnknown* unknown_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  Sink sink_;
};

TEST_F(KitTest, TheDispinterfaceIsTheGenericDispatch) {
  IDispatch* by_diid = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(DIID_DKitTest, reinterpret_cast<void**>(&by_diid)));
  EXPECT_EQ(by_diid, dispatch_);
  by_diid->Release();
  UINT count = 0;
  ASSERT_HRESULT_SUCCEEDED(dispatch_->GetTypeInfoCount(&count));
  EXPECT_EQ(count, 1u);
  ITypeInfo* info = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
  TYPEATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(info->GetTypeAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, DIID_DKitTest));
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
  info->ReleaseTypeAttr(attr);
  info->Release();
  ISupportErrorInfo* errors = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errors)));
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(DIID_DKitTest), S_OK);
  errors->Release();
}

TEST_F(KitTest, NamesAreFoundWithoutRegardToCaseButHiddenRowsAreNot) {
  struct Row {
    std::vector<const wchar_t*> names;
    HRESULT want;
    std::vector<DISPID> ids;
  } const rows[] = {
      {{L"level"}, S_OK, {kLevel}},
      {{L"FLAG"}, S_OK, {kFlag}},
      {{L"Count"}, S_OK, {kCount}},
      {{L"enabled"}, S_OK, {kEnabled}},
      {{L"_cx"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
      {{L"_CY"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
      {{L"Levels"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
      // A method's parameters answer with their positions.
      {{L"describe", L"PREFIX", L"n"}, S_OK, {kDescribe, 1, 0}},
      {{L"Describe", L"suffix"}, DISP_E_UNKNOWNNAME, {kDescribe, DISPID_UNKNOWN}},
      {{L"Level", L"n"}, DISP_E_UNKNOWNNAME, {kLevel, DISPID_UNKNOWN}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.names[0]);
    std::vector<DISPID> ids(row.names.size(), 12345);
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(row.names.data()),
                                       static_cast<UINT>(row.names.size()), LOCALE_USER_DEFAULT, ids.data()),
              row.want);
    EXPECT_EQ(ids, row.ids);
  }
}

// puArgErr as passed in: only a refused argument's index replaces it.
constexpr UINT kUntouched = 0xDEAD;

TEST_F(KitTest, PutsCoerceToTheNewTypesOrRefuse) {
  LONG by_reference = -5;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &by_reference;
  struct Case {
    const char* what;
    DISPID id;
    VARIANT value;
    HRESULT want;
    const wchar_t* after;  // the property afterwards
    VARTYPE vt;            // the type a get answers with
  } const cases[] = {
      {"text to a short", kLevel, Bstr(L"12"), S_OK, L"12", VT_I2},
      {"a long beyond a short", kLevel, I4(70000), DISP_E_OVERFLOW, L"12", VT_I2},
      {"a long by reference", kLevel, ref, S_OK, L"-5", VT_I2},
      {"a number to a bool", kFlag, I4(1), S_OK, L"true", VT_BOOL},
      {"text to a bool", kFlag, Bstr(L"0"), S_OK, L"false", VT_BOOL},
      {"a double to an unsigned", kCount, R8(4000000000.0), S_OK, L"4000000000", VT_UI4},
      {"a double beyond an unsigned", kCount, R8(5e9), DISP_E_OVERFLOW, L"4000000000", VT_UI4},
      {"text that is no number", kCount, Bstr(L"many"), DISP_E_TYPEMISMATCH, L"4000000000", VT_UI4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UINT arg_err = kUntouched;
    EXPECT_EQ(Put(c.id, c.value, &arg_err), c.want);
    EXPECT_EQ(arg_err, FAILED(c.want) ? 0u : kUntouched);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(Get(c.id, &vt), c.after);
    EXPECT_EQ(vt, c.vt);
  }
  // The extent's rows are persisted only: IDispatch does not reach them.
  for (DISPID hidden : {automation::kDispidExtentX, automation::kDispidExtentY}) {
    EXPECT_EQ(Get(hidden), L"<" + std::to_wstring(DISP_E_MEMBERNOTFOUND) + L">");
    EXPECT_EQ(Put(hidden, I4(1)), DISP_E_MEMBERNOTFOUND);
  }
}

TEST_F(KitTest, MethodsAnswerTheirResultAndTheirOwnCodes) {
  struct Case {
    const char* what;
    std::vector<VARIANT> args;
    HRESULT want;
    HRESULT scode;          // DISP_E_EXCEPTION: the method's own failure
    const wchar_t* result;  // null: none expected
  };
  const Case cases[] = {
      {"a result", {I2(3), Bstr(L"n=")}, S_OK, S_OK, L"n=3"},
      {"coerced arguments", {Bstr(L"42"), I4(7)}, S_OK, S_OK, L"742"},
      {"S_FALSE reaches the caller", {I2(5), Bstr(L"")}, S_FALSE, S_OK, L"5"},
      {"a failure as an exception", {I2(101), Bstr(L"x")}, DISP_E_EXCEPTION, E_INVALIDARG, nullptr},
      {"too few arguments", {I2(1)}, DISP_E_BADPARAMCOUNT, S_OK, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VARIANT result;
    EXCEPINFO excep = {};
    EXPECT_EQ(Call(kDescribe, c.args, &result, &excep), c.want);
    EXPECT_EQ(excep.scode, c.scode);
    if (c.result != nullptr) {
      EXPECT_EQ(result.vt, VT_BSTR);
      EXPECT_EQ(AsText(result), c.result);
    }
    VariantClear(&result);
  }
  // Named arguments are not taken.
  VARIANT args[] = {Bstr(L"p"), I2(1)};
  DISPID named[] = {1, 0};
  DISPPARAMS params = {args, named, 2, 2};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(dispatch_->Invoke(kDescribe, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
                              nullptr),
            DISP_E_NONAMEDARGS);
  for (VARIANT& v : args) VariantClear(&v);
}

// A refused edit is CTL_E_SETNOTPERMITTED, what a script reports as a property it may not set.
TEST_F(KitTest, EnabledAsksTheSinksFirstAndTellsThemAfter) {
  const DWORD cookie = Connect(IID_IPropertyNotifySink);
  const std::string id = std::to_string(kEnabled);
  EXPECT_EQ(Put(kEnabled, I4(0)), S_OK);
  EXPECT_EQ(sink_.notes, (std::vector<std::string>{"request " + id, "changed " + id}));
  EXPECT_EQ(Get(kEnabled), L"false");

  sink_.notes.clear();
  sink_.edit_answer = S_FALSE;
  EXCEPINFO excep = {};
  EXPECT_EQ(Put(kEnabled, I4(1), nullptr, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, CTL_E_SETNOTPERMITTED);
  EXPECT_EQ(sink_.notes, std::vector<std::string>{"request " + id});
  EXPECT_EQ(Get(kEnabled), L"false") << "refused: kept";

  sink_.notes.clear();
  EXPECT_EQ(Put(kLevel, I4(3)), S_OK);
  EXPECT_EQ(sink_.notes, std::vector<std::string>{}) << "only the flagged rows notify";

  IConnectionPointContainer* container = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      unknown_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)));
  IConnectionPoint* point = nullptr;
  ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point));
  EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
  point->Release();
  container->Release();
}

TEST_F(KitTest, PersistenceCarriesTheExtentAndEveryType) {
  IOleObject* ole = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)));
  SIZEL extent = {1000, 500};
  ASSERT_HRESULT_SUCCEEDED(ole->SetExtent(DVASPECT_CONTENT, &extent));
  ole->Release();
  ASSERT_EQ(Put(kLevel, I2(-3)), S_OK);
  ASSERT_EQ(Put(kFlag, I4(1)), S_OK);
  ASSERT_EQ(Put(kCount, R8(4000000000.0)), S_OK);

  IPersistPropertyBag* bag_persist = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag_persist)));
  comtest::MapBag saved;
  ASSERT_HRESULT_SUCCEEDED(bag_persist->Save(&saved, TRUE, TRUE));
  bag_persist->Release();
  EXPECT_EQ(saved.written, (std::vector<std::wstring>{L"_cx", L"_cy", L"Level", L"Flag", L"Count", L"Enabled"}));
  struct Row {
    const wchar_t* name;
    VARTYPE vt;
    const wchar_t* text;
  } const rows[] = {
      {L"_cx", VT_UI4, L"1000"}, {L"_cy", VT_UI4, L"500"},          {L"Level", VT_I2, L"-3"},
      {L"Flag", VT_BOOL, L"-1"}, {L"Count", VT_UI4, L"4000000000"}, {L"Enabled", VT_BOOL, L"-1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.name);
    EXPECT_EQ(saved.values[row.name].vt, row.vt);
    VARIANT number;
    VariantInit(&number);
    ASSERT_HRESULT_SUCCEEDED(VariantChangeType(&number, &saved.values[row.name], 0,
                                               row.vt == VT_BOOL ? VARTYPE{VT_I4} : row.vt));
    EXPECT_EQ(AsText(number), row.text);
  }

  // Another control loads the page's text into the same types; then a stream carries them all.
  IUnknown* other = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IUnknown, reinterpret_cast<void**>(&other)));
  ASSERT_HRESULT_SUCCEEDED(other->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag_persist)));
  comtest::MapBag page;
  page.values[L"_cx"] = Bstr(L"2000");
  page.values[L"Level"] = Bstr(L"-9");
  page.values[L"Count"] = Bstr(L"3000000000");
  ASSERT_HRESULT_SUCCEEDED(bag_persist->Load(&page, nullptr));
  bag_persist->Release();
  IStream* stream = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
  IPersistStreamInit* stream_persist = nullptr;
  ASSERT_HRESULT_SUCCEEDED(other->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&stream_persist)));
  ASSERT_HRESULT_SUCCEEDED(stream_persist->Save(stream, TRUE));
  stream_persist->Release();
  other->Release();

  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&stream_persist)));
  const LARGE_INTEGER start = {};
  ASSERT_HRESULT_SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr));
  ASSERT_HRESULT_SUCCEEDED(stream_persist->Load(stream));
  stream_persist->Release();
  stream->Release();
  EXPECT_EQ(Get(kLevel), L"-9");
  EXPECT_EQ(Get(kCount), L"3000000000");
  EXPECT_EQ(Get(kFlag), L"false");
  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)));
  ASSERT_HRESULT_SUCCEEDED(ole->GetExtent(DVASPECT_CONTENT, &extent));
  EXPECT_EQ(extent.cx, 2000);
  EXPECT_EQ(extent.cy, 2540) << "missing from the page: the default kept";
  ole->Release();
}

// A worker's event is handed to the control's window: it arrives only once the container pumps,
// and on the container's thread; without a window it is dropped.
TEST_F(KitTest, EventsReachTheSinksOnTheContainersThread) {
  const DWORD cookie = Connect(DIID_DKitTestEvents);
  VARIANT result;
  ASSERT_EQ(Call(kFireFromThread, {I2(1)}, &result), S_OK);
  comtest::PumpFor(200);
  EXPECT_TRUE(sink_.events.empty()) << "no window yet: dropped";

  comtest::ContainerWindow frame;
  comtest::Site site(frame.Handle(), {0, 0, 100, 50});
  IOleObject* ole = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)));
  ASSERT_HRESULT_SUCCEEDED(ole->SetClientSite(&site));
  ASSERT_HRESULT_SUCCEEDED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, frame.Handle(), nullptr));
  ASSERT_EQ(sink_.events.size(), 1u) << "EndInit as the window appears";
  EXPECT_EQ(sink_.events[0].id, kittest::kEndInit);

  ASSERT_EQ(Call(kFireHere, {I2(4)}, &result), S_OK);
  ASSERT_EQ(sink_.events.size(), 2u) << "fired on this thread: delivered at once";
  EXPECT_EQ(sink_.events[1].args, std::vector<int>{4});

  ASSERT_EQ(Call(kFireFromThread, {I2(5)}, &result), S_OK);
  EXPECT_EQ(sink_.events.size(), 2u) << "the worker has fired, but the window has not run yet";
  ASSERT_TRUE(comtest::PumpUntil([&] { return sink_.events.size() == 3; }, 10000));
  const Sink::Event& e = sink_.events[2];
  EXPECT_EQ(e.id, kittest::kTicked);
  EXPECT_EQ(e.thread, GetCurrentThreadId());
  EXPECT_EQ(e.flags, DISPATCH_METHOD);
  EXPECT_EQ(e.args, std::vector<int>{5});

  // Queued, then the window goes before it runs: the event goes with it.
  ASSERT_EQ(Call(kFireFromThread, {I2(6)}, &result), S_OK);
  ASSERT_HRESULT_SUCCEEDED(ole->Close(OLECLOSE_NOSAVE));
  comtest::PumpFor(200);
  EXPECT_EQ(sink_.events.size(), 3u);

  ASSERT_HRESULT_SUCCEEDED(ole->SetClientSite(nullptr));
  ole->Release();
  IConnectionPointContainer* container = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      unknown_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)));
  IConnectionPoint* point = nullptr;
  ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(DIID_DKitTestEvents, &point));
  EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
  point->Release();
  container->Release();
}

}  // namespace
