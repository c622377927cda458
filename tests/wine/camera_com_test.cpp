// The camera command control's COM object, loaded straight from Oru_cam.dll: its properties
// through the vtable and IDispatch alike, SendCmd both ways against a devsim camera, the stock
// Enabled's notifications, and persistence in a property bag, a stream and a storage. (Identity,
// object safety, activation, the ATL host and unloading are checked for every control in
// controls_test.cpp and ole_test.cpp; the type library in typelib_test.cpp.)
//
// tests/wine/run-com-tests starts the devices and exports their camera ports: ZUB_DEVSIM_CAMERA_PORT
// answers every command with 0x90, ZUB_DEVSIM_CLOSED_CAMERA_PORT refuses every connect. The
// control looks up this PC's own name when it is created, so the script runs this suite in a
// network namespace of its own, where only /etc/hosts can answer.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <ocidl.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Oru_cam.h"
#include "automation/members.h"
#include "dll_loader.h"
#include "ole_container.h"
#include "test_container.h"

namespace {

constexpr DISPID kPort = 1;
constexpr DISPID kIP = 2;
constexpr DISPID kSendCmd = 3;
constexpr DISPID kMyIP = 4;
constexpr DISPID kEnabled = automation::kDispidEnabled;

VARIANT Number(VARTYPE vt, LONGLONG n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  switch (vt) {
    case VT_BOOL: v.boolVal = n != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_UI1: v.bVal = static_cast<BYTE>(n); break;
    case VT_UI4: v.ulVal = static_cast<ULONG>(n); break;
    default: v.lVal = static_cast<LONG>(n); break;
  }
  return v;
}

VARIANT Text(const wchar_t* s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

// A value with its type, as text: "I4 8080", "BSTR 10.1.2.3", "BOOL true".
std::wstring Show(const VARIANT& v) {
  if (v.vt == VT_BOOL) {
    return v.boolVal == VARIANT_TRUE ? L"BOOL true" : v.boolVal == VARIANT_FALSE ? L"BOOL false" : L"BOOL other";
  }
  const wchar_t* type = v.vt == VT_I4    ? L"I4"
                        : v.vt == VT_UI4 ? L"UI4"
                        : v.vt == VT_UI1 ? L"UI1"
                        : v.vt == VT_BSTR ? L"BSTR"
                                          : nullptr;
  if (type == nullptr) return L"VT " + std::to_wstring(v.vt);
  VARIANT t;
  VariantInit(&t);
  if (FAILED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR))) return L"<not text>";
  std::wstring s = std::wstring(type) + L" " + std::wstring(t.bstrVal, SysStringLen(t.bstrVal));
  VariantClear(&t);
  return s;
}

// This PC's own IPv4 address with its bytes in address order, as inet_addr gives it; 0 when its
// name cannot be looked up.
ULONG OwnAddress() {
  char name[256] = {};
  if (gethostname(name, sizeof name) != 0) return 0;
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return 0;
  const ULONG address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return address;
}

class CamCtlTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    ASSERT_TRUE(dll_.Loaded());
    control_ = New();
    ASSERT_NE(control_, nullptr);
    ASSERT_HRESULT_SUCCEEDED(control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_)));
  }
  void TearDown() override {
    if (dispatch_ != nullptr) dispatch_->Release();
    if (control_ != nullptr) {
      EXPECT_EQ(control_->Release(), 0u);
    }
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK) << "every object has ended";
    EXPECT_EQ(sink_.refs, 1u) << "the control let go of every sink reference";
    WSACleanup();
    OleUninitialize();
  }
  ICamCtl* New() {
    ICamCtl* control = nullptr;
    EXPECT_HRESULT_SUCCEEDED(dll_.Create(IID_ICamCtl, reinterpret_cast<void**>(&control)));
    return control;
  }
  HRESULT Put(DISPID id, VARIANT value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    VariantClear(&value);
    return hr;
  }
  std::wstring Get(DISPID id) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
    if (FAILED(hr)) return L"<" + std::to_wstring(hr) + L">";
    std::wstring s = Show(v);
    VariantClear(&v);
    return s;
  }
  IConnectionPoint* NotifyPoint() {
    IConnectionPointContainer* container = nullptr;
    EXPECT_HRESULT_SUCCEEDED(
        control_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)));
    IConnectionPoint* point = nullptr;
    if (container != nullptr) {
      EXPECT_HRESULT_SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point));
      container->Release();
    }
    return point;
  }

  comtest::ControlDll dll_{L"Oru_cam.dll", CLSID_CamCtl};
  ICamCtl* control_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  comtest::NotifySink sink_;
};

// One property reached both ways: what the vtable puts IDispatch reads, and the other way round.
struct PropertyCase {
  const char* name;
  DISPID id;
  const wchar_t* initial;  // a new control's value, as Show prints it
  std::function<HRESULT(ICamCtl*)> put_by_vtable;
  const wchar_t* after_vtable_put;
  std::function<VARIANT()> by_dispatch;
  std::function<HRESULT(ICamCtl*, std::wstring*)> get_by_vtable;  // as Show prints it
  const wchar_t* after_dispatch_put;
};

template <typename T>
std::function<HRESULT(ICamCtl*, std::wstring*)> VtableGet(HRESULT (STDMETHODCALLTYPE ICamCtl::*get)(T*), VARTYPE vt) {
  return [get, vt](ICamCtl* c, std::wstring* out) {
    T value{};
    const HRESULT hr = (c->*get)(&value);
    VARIANT v = Number(vt, static_cast<LONGLONG>(value));
    *out = Show(v);
    return hr;
  };
}

TEST_F(CamCtlTest, PropertiesReadBackThroughTheVtableAndIDispatchAlike) {
  const std::wstring own = L"UI4 " + std::to_wstring(OwnAddress());
  const PropertyCase cases[] = {
      {"Port", kPort, L"I4 49153", [](ICamCtl* c) { return c->put_Port(8080); }, L"I4 8080",
       [] { return Number(VT_I4, 114689); }, VtableGet(&ICamCtl::get_Port, VT_I4), L"I4 114689"},
      // Text crosses as the ANSI code page (932 here): what goes in comes back.
      {"IP", kIP, L"BSTR 192.168.0.2",
       [](ICamCtl* c) {
         BSTR ip = SysAllocString(L"10.1.2.3");
         const HRESULT hr = c->put_IP(ip);
         SysFreeString(ip);
         return hr;
       },
       L"BSTR 10.1.2.3", [] { return Text(L"カメラ.example"); },
       [](ICamCtl* c, std::wstring* out) {
         BSTR ip = nullptr;
         const HRESULT hr = c->get_IP(&ip);
         *out = L"BSTR " + std::wstring(ip != nullptr ? ip : L"<null>");
         SysFreeString(ip);
         return hr;
       },
       L"BSTR カメラ.example"},
      {"MyIP", kMyIP, own.c_str(), [](ICamCtl* c) { return c->put_MyIP(0x0A00A8C0u); }, L"UI4 167815360",
       [] { return Number(VT_UI4, 0xFFFFFFFFu); }, VtableGet(&ICamCtl::get_MyIP, VT_UI4), L"UI4 4294967295"},
      {"Enabled", kEnabled, L"BOOL true", [](ICamCtl* c) { return c->put_Enabled(VARIANT_FALSE); },
       L"BOOL false", [] { return Number(VT_I4, 1); },
       [](ICamCtl* c, std::wstring* out) {
         VARIANT_BOOL b = VARIANT_FALSE;
         const HRESULT hr = c->get_Enabled(&b);
         *out = b == VARIANT_TRUE ? L"BOOL true" : b == VARIANT_FALSE ? L"BOOL false" : L"BOOL other";
         return hr;
       },
       L"BOOL true"},
  };
  for (const PropertyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Get(c.id), c.initial);
    ASSERT_EQ(c.put_by_vtable(control_), S_OK);
    EXPECT_EQ(Get(c.id), c.after_vtable_put);
    ASSERT_EQ(Put(c.id, c.by_dispatch()), S_OK);
    std::wstring got;
    ASSERT_EQ(c.get_by_vtable(control_, &got), S_OK);
    EXPECT_EQ(got, c.after_dispatch_put);
  }
  EXPECT_EQ(control_->get_Port(nullptr), E_POINTER);
  EXPECT_EQ(control_->get_IP(nullptr), E_POINTER);
  EXPECT_EQ(control_->get_MyIP(nullptr), E_POINTER);
  EXPECT_EQ(control_->get_Enabled(nullptr), E_POINTER);
}

// ret as the vtable and IDispatch give it; -1 when the call fails.
int SendByVtable(ICamCtl* control, const wchar_t* cmd, BYTE ack) {
  BSTR text = SysAllocString(cmd);
  BYTE ret = 0xEE;
  const HRESULT hr = control->SendCmd(text, ack, &ret);
  SysFreeString(text);
  return hr == S_OK ? ret : -1;
}

int SendByDispatch(IDispatch* dispatch, const wchar_t* cmd, BYTE ack) {
  // The arguments in reverse order; ack as a long, which Invoke coerces to the BYTE declared.
  VARIANT args[] = {Number(VT_I4, ack), Text(cmd)};
  DISPPARAMS params = {args, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr =
      dispatch->Invoke(kSendCmd, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  for (VARIANT& v : args) VariantClear(&v);
  const int ret = hr == S_OK && result.vt == VT_UI1 ? result.bVal : -1;
  VariantClear(&result);
  return ret;
}

struct SendCase {
  const char* what;
  bool by_dispatch;
  const wchar_t* cmd;
  BYTE ack;
  int want;
};

void ExpectSends(ICamCtl* control, IDispatch* dispatch, std::span<const SendCase> cases) {
  for (const SendCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.by_dispatch ? SendByDispatch(dispatch, c.cmd, c.ack) : SendByVtable(control, c.cmd, c.ack), c.want);
  }
}

void PointAt(ICamCtl* control, int port) {
  BSTR ip = SysAllocString(L"127.0.0.1");
  ASSERT_HRESULT_SUCCEEDED(control->put_IP(ip));
  SysFreeString(ip);
  ASSERT_HRESULT_SUCCEEDED(control->put_Port(port));
}

// The camera answers 0x90: ret 0 when ack is 0x90, 1 otherwise, whichever way the call comes.
TEST_F(CamCtlTest, SendCmdComparesTheRepliesFirstByteThroughBothRoutes) {
  const int port = comtest::DevsimPort("ZUB_DEVSIM_CAMERA_PORT");
  if (port == 0) GTEST_SKIP() << "ZUB_DEVSIM_CAMERA_PORT not set (tests/wine/run-com-tests sets it)";
  PointAt(control_, port);
  const SendCase cases[] = {
      {"vtable, matching ack", false, L"81:01:04:00:02:FF", 0x90, 0},
      {"vtable, other ack", false, L"81:09:04:00:FF", 0x41, 1},
      {"IDispatch, matching ack", true, L"81:01:04:00:03:FF", 0x90, 0},
      {"IDispatch, other ack", true, L"81:01:04:00:03:FF", 0x00, 1},
      {"vtable after IDispatch", false, L"1:2:", 0x90, 0},
  };
  ExpectSends(control_, dispatch_, cases);
}

TEST_F(CamCtlTest, SendCmdReturnsTwoWhenTheCameraRefusesTheConnect) {
  const int port = comtest::DevsimPort("ZUB_DEVSIM_CLOSED_CAMERA_PORT");
  if (port == 0) GTEST_SKIP() << "ZUB_DEVSIM_CLOSED_CAMERA_PORT not set (tests/wine/run-com-tests sets it)";
  PointAt(control_, port);
  const SendCase cases[] = {
      {"vtable", false, L"81:01:04:00:02:FF", 0x90, 2},
      {"IDispatch", true, L"81:01:04:00:02:FF", 0x90, 2},
  };
  ExpectSends(control_, dispatch_, cases);
}

TEST_F(CamCtlTest, EnabledPutAsksTheSinksFirstAndTellsThemAfter) {
  IConnectionPoint* point = NotifyPoint();
  ASSERT_NE(point, nullptr);
  DWORD cookie = 0;
  ASSERT_HRESULT_SUCCEEDED(point->Advise(&sink_, &cookie));
  ASSERT_EQ(control_->put_Enabled(VARIANT_FALSE), S_OK);
  const std::string id = std::to_string(kEnabled);
  EXPECT_EQ(sink_.notes, (std::vector<std::string>{"request " + id, "changed " + id}));
  sink_.notes.clear();
  ASSERT_EQ(control_->put_Port(8080), S_OK);
  EXPECT_EQ(sink_.notes, std::vector<std::string>{}) << "Port does not notify";
  EXPECT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
  point->Release();
}

TEST_F(CamCtlTest, PropertyBagLoadsThePagesParamsAndSavesInPersistenceOrder) {
  IPersistPropertyBag* persist = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)));
  comtest::MapBag page;  // a page's <param>s are text
  page.values[L"IP"] = Text(L"10.0.0.7");
  page.values[L"Port"] = Text(L"8080");
  page.values[L"MyIP"] = Text(L"1");  // not persisted: never read
  ULONG my_ip = 0;
  ASSERT_HRESULT_SUCCEEDED(control_->get_MyIP(&my_ip));
  ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
  ASSERT_HRESULT_SUCCEEDED(persist->Load(&page, nullptr));
  EXPECT_EQ(Get(kIP), L"BSTR 10.0.0.7");
  EXPECT_EQ(Get(kPort), L"I4 8080");
  EXPECT_EQ(Get(kMyIP), L"UI4 " + std::to_wstring(my_ip));
  EXPECT_EQ(Get(kEnabled), L"BOOL true") << "missing from the page: the default kept";

  comtest::MapBag saved;
  ASSERT_HRESULT_SUCCEEDED(persist->Save(&saved, TRUE, TRUE));
  EXPECT_EQ(saved.written, (std::vector<std::wstring>{L"_cx", L"_cy", L"Enabled", L"Port", L"IP"}));
  const std::pair<const wchar_t*, const wchar_t*> values[] = {
      {L"_cx", L"UI4 5080"}, {L"_cy", L"UI4 5080"}, {L"Enabled", L"BOOL true"},
      {L"Port", L"I4 8080"}, {L"IP", L"BSTR 10.0.0.7"},
  };
  for (const auto& [name, want] : values) EXPECT_EQ(Show(saved.values[name]), want) << std::wstring(name);
  CLSID clsid = {};
  ASSERT_HRESULT_SUCCEEDED(persist->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_CamCtl));
  persist->Release();
}

// A stream and a storage carry the persisted properties into another control; MyIP is not
// persisted, so the copy keeps its own.
TEST_F(CamCtlTest, StreamAndStorageCarryThePersistedProperties) {
  struct Medium {
    const char* name;
    std::function<HRESULT(IUnknown* from, IUnknown* to)> carry;
  };
  const Medium media[] = {
      {"stream",
       [](IUnknown* from, IUnknown* to) {
         IStream* stream = nullptr;
         HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
         if (FAILED(hr)) return hr;
         IPersistStreamInit* persist = nullptr;
         hr = from->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
         if (SUCCEEDED(hr)) {
           hr = persist->Save(stream, TRUE);
           ULARGE_INTEGER max = {};
           STATSTG stat = {};
           if (SUCCEEDED(hr)) hr = persist->GetSizeMax(&max);
           if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
           if (SUCCEEDED(hr) && max.QuadPart < stat.cbSize.QuadPart) hr = E_UNEXPECTED;  // GetSizeMax too small
           persist->Release();
         }
         if (SUCCEEDED(hr)) hr = to->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
         if (SUCCEEDED(hr)) {
           const LARGE_INTEGER start = {};
           hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
           if (SUCCEEDED(hr)) hr = persist->InitNew();
           if (SUCCEEDED(hr)) hr = persist->Load(stream);
           persist->Release();
         }
         stream->Release();
         return hr;
       }},
      {"storage",
       [](IUnknown* from, IUnknown* to) {
         ILockBytes* bytes = nullptr;
         HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
         if (FAILED(hr)) return hr;
         IStorage* storage = nullptr;
         hr = StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage);
         IPersistStorage* persist = nullptr;
         if (SUCCEEDED(hr)) hr = from->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&persist));
         if (SUCCEEDED(hr)) {
           hr = persist->Save(storage, FALSE);
           if (SUCCEEDED(hr)) hr = persist->SaveCompleted(nullptr);
           persist->Release();
         }
         if (SUCCEEDED(hr)) hr = to->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&persist));
         if (SUCCEEDED(hr)) {
           hr = persist->Load(storage);
           persist->Release();
         }
         if (storage != nullptr) storage->Release();
         bytes->Release();
         return hr;
       }},
  };
  BSTR ip = SysAllocString(L"10.9.8.7");
  ASSERT_HRESULT_SUCCEEDED(control_->put_IP(ip));
  SysFreeString(ip);
  ASSERT_HRESULT_SUCCEEDED(control_->put_Port(-1));
  ASSERT_HRESULT_SUCCEEDED(control_->put_Enabled(VARIANT_FALSE));
  ASSERT_HRESULT_SUCCEEDED(control_->put_MyIP(7));
  for (const Medium& medium : media) {
    SCOPED_TRACE(medium.name);
    ICamCtl* copy = New();
    ASSERT_NE(copy, nullptr);
    ULONG own = 0;
    ASSERT_HRESULT_SUCCEEDED(copy->get_MyIP(&own));
    ASSERT_HRESULT_SUCCEEDED(medium.carry(control_, copy));
    LONG port = 0;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    BSTR got_ip = nullptr;
    ULONG my_ip = 0;
    ASSERT_HRESULT_SUCCEEDED(copy->get_Port(&port));
    ASSERT_HRESULT_SUCCEEDED(copy->get_Enabled(&enabled));
    ASSERT_HRESULT_SUCCEEDED(copy->get_IP(&got_ip));
    ASSERT_HRESULT_SUCCEEDED(copy->get_MyIP(&my_ip));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(enabled, VARIANT_FALSE);
    EXPECT_EQ(std::wstring(got_ip), L"10.9.8.7");
    EXPECT_EQ(my_ip, own);
    SysFreeString(got_ip);
    EXPECT_EQ(copy->Release(), 0u);
  }
}

}  // namespace
