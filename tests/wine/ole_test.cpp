// In-place activation of each control in a recording container, and the receive control's stream
// persistence. The container's window is a plain top-level window (wine's null display).
#include <gtest/gtest.h>

#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

#include "ZubAudioR.h"
#include "control_classes.h"
#include "dll_loader.h"

namespace {

// Records the container callbacks the control makes, in order.
class Site : public IOleClientSite, public IOleInPlaceSite {
 public:
  explicit Site(HWND window) : window_(window) {}
  virtual ~Site() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceSite) || IsEqualIID(iid, IID_IOleWindow)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return Record("ShowObject"); }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    *out = window_;
    return Record("GetWindow");
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return Record("CanInPlaceActivate"); }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return Record("OnInPlaceActivate"); }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return Record("OnUIActivate"); }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;  // a container without a frame, which the control must accept
    *doc = nullptr;
    *pos = {10, 20, 110, 70};
    *clip = *pos;
    return Record("GetWindowContext");
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return Record("OnUIDeactivate"); }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return Record("OnInPlaceDeactivate"); }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  std::vector<std::string> calls;
  ULONG refs = 1;

 private:
  HRESULT Record(const char* call) {
    calls.push_back(call);
    return S_OK;
  }
  HWND window_;
};

// A control of one DLL in the recording container; Class() names it.
class OleFixture : public testing::Test {
 protected:
  virtual const comtest::ControlClass& Class() const = 0;
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
    dll_ = std::make_unique<comtest::ControlDll>(Class().dll, *Class().clsid);
    ASSERT_TRUE(dll_->Loaded());
    parent_ = CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                              300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    ASSERT_HRESULT_SUCCEEDED(dll_->Create(IID_IOleObject, reinterpret_cast<void**>(&object_)));
    site_ = new Site(parent_);
  }
  void TearDown() override {
    if (object_ != nullptr) object_->Release();
    if (site_ != nullptr) {
      EXPECT_EQ(site_->refs, 1u) << "the control let go of every site reference";
    }
    delete site_;
    if (parent_ != nullptr && IsWindow(parent_)) DestroyWindow(parent_);
    OleUninitialize();
  }
  HWND Activate() {
    EXPECT_HRESULT_SUCCEEDED(object_->SetClientSite(site_));
    RECT pos = {10, 20, 110, 70};
    EXPECT_HRESULT_SUCCEEDED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent_, &pos));
    IOleInPlaceObject* inplace = nullptr;
    EXPECT_HRESULT_SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)));
    HWND window = nullptr;
    if (inplace != nullptr) {
      EXPECT_HRESULT_SUCCEEDED(inplace->GetWindow(&window));
      inplace->Release();
    }
    return window;
  }

  std::unique_ptr<comtest::ControlDll> dll_;
  HWND parent_ = nullptr;
  IOleObject* object_ = nullptr;
  Site* site_ = nullptr;
};

class OleTest : public OleFixture, public testing::WithParamInterface<comtest::ControlClass> {
 protected:
  const comtest::ControlClass& Class() const override { return GetParam(); }
};

class ReceiveOleTest : public OleFixture {
 protected:
  const comtest::ControlClass& Class() const override { return comtest::kReceiveAudio; }
};

TEST_P(OleTest, ActivationAsksTheSiteInOrderAndCreatesTheChildWindow) {
  HWND window = Activate();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(site_->calls, (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow",
                                                   "GetWindowContext", "ShowObject"}));
  EXPECT_EQ(GetParent(window), parent_);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const LONG want = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  EXPECT_EQ(style & want, want);
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.right - rect.left, 100);
  EXPECT_EQ(rect.bottom - rect.top, 50);

  IOleInPlaceObject* inplace = nullptr;
  ASSERT_HRESULT_SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)));
  site_->calls.clear();
  ASSERT_HRESULT_SUCCEEDED(inplace->InPlaceDeactivate());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(site_->calls, (std::vector<std::string>{"OnInPlaceDeactivate"}));
  HWND none = reinterpret_cast<HWND>(1);
  EXPECT_EQ(inplace->GetWindow(&none), E_FAIL);
  inplace->Release();
  ASSERT_HRESULT_SUCCEEDED(object_->Close(OLECLOSE_NOSAVE));
  ASSERT_HRESULT_SUCCEEDED(object_->SetClientSite(nullptr));
}

TEST_P(OleTest, ReleasingAnActiveControlDestroysItsWindow) {
  HWND window = Activate();
  ASSERT_NE(window, nullptr);
  object_->Release();
  object_ = nullptr;
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(site_->calls.back(), "OnInPlaceDeactivate");
  EXPECT_EQ(dll_->CanUnloadNow(), S_OK);
}

TEST_P(OleTest, TheContainerDestroyingItsWindowTakesTheControlsWindow) {
  HWND window = Activate();
  ASSERT_NE(window, nullptr);
  DestroyWindow(parent_);
  EXPECT_FALSE(IsWindow(window));
  IOleInPlaceObject* inplace = nullptr;
  ASSERT_HRESULT_SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)));
  HWND none = nullptr;
  EXPECT_EQ(inplace->GetWindow(&none), E_FAIL);
  EXPECT_HRESULT_SUCCEEDED(inplace->InPlaceDeactivate());
  inplace->Release();
  ASSERT_HRESULT_SUCCEEDED(object_->SetClientSite(nullptr));
}

TEST_P(OleTest, MiscStatusAsRegistered) {
  DWORD status = 0;
  ASSERT_HRESULT_SUCCEEDED(object_->GetMiscStatus(DVASPECT_CONTENT, &status));
  EXPECT_EQ(status, 131473u);
}

TEST_F(ReceiveOleTest, StreamKeepsThePersistedPropertiesOnly) {
  IReceiveAudio* control = nullptr;
  ASSERT_HRESULT_SUCCEEDED(object_->QueryInterface(IID_IReceiveAudio, reinterpret_cast<void**>(&control)));
  BSTR ip = SysAllocString(L"10.1.2.3");
  ASSERT_HRESULT_SUCCEEDED(control->put_IP(ip));
  SysFreeString(ip);
  ASSERT_HRESULT_SUCCEEDED(control->put_Port(8080));
  ASSERT_HRESULT_SUCCEEDED(control->put_Volume(40));
  ASSERT_HRESULT_SUCCEEDED(control->put_DelayTime(900));
  ASSERT_HRESULT_SUCCEEDED(control->put_StreamType(1));
  ASSERT_HRESULT_SUCCEEDED(control->put_Language(1));
  IPersistStreamInit* persist = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)));
  IStream* stream = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
  ASSERT_HRESULT_SUCCEEDED(persist->Save(stream, TRUE));
  ULARGE_INTEGER max = {};
  ASSERT_HRESULT_SUCCEEDED(persist->GetSizeMax(&max));
  STATSTG stat = {};
  ASSERT_HRESULT_SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME));
  EXPECT_GE(max.QuadPart, stat.cbSize.QuadPart);
  persist->Release();
  control->Release();

  IReceiveAudio* copy = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll_->Create(IID_IReceiveAudio, reinterpret_cast<void**>(&copy)));
  ASSERT_HRESULT_SUCCEEDED(copy->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)));
  LARGE_INTEGER zero = {};
  ASSERT_HRESULT_SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
  ASSERT_HRESULT_SUCCEEDED(persist->InitNew());
  ASSERT_HRESULT_SUCCEEDED(persist->Load(stream));
  struct Row {
    HRESULT (STDMETHODCALLTYPE IReceiveAudio::*get)(LONG*);
    LONG want;
  } const rows[] = {
      {&IReceiveAudio::get_Port, 8080}, {&IReceiveAudio::get_Volume, 40}, {&IReceiveAudio::get_DelayTime, 900},
      {&IReceiveAudio::get_StreamType, 1}, {&IReceiveAudio::get_Language, 0},
  };
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    LONG got = -1;
    ASSERT_HRESULT_SUCCEEDED((copy->*rows[i].get)(&got));
    EXPECT_EQ(got, rows[i].want);
  }
  BSTR got_ip = nullptr;
  ASSERT_HRESULT_SUCCEEDED(copy->get_IP(&got_ip));
  EXPECT_EQ(std::wstring(got_ip), L"10.1.2.3");
  SysFreeString(got_ip);
  stream->Release();
  persist->Release();
  copy->Release();
}

INSTANTIATE_TEST_SUITE_P(Dlls, OleTest, testing::ValuesIn(comtest::ControlClasses()),
                         [](const testing::TestParamInfo<comtest::ControlClass>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
