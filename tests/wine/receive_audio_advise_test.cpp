// IOleObject's advise sinks: kept by OLE's advise holder, enumerated, removed, told of Close while
// the control is still active, and let go when the control ends.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ZubAudioR.h"
#include "dll_loader.h"
#include "test_container.h"

namespace {

class AdviseSink : public IAdviseSink {
 public:
  virtual ~AdviseSink() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IAdviseSink)) {
      *out = static_cast<IAdviseSink*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override {
    ++closes;
    if (on_close) on_close();
  }

  ULONG refs = 1;
  int closes = 0;
  std::function<void()> on_close;
};

class AdviseTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_NE(window_.Handle(), nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    control_ = new comtest::HostedControl(window_.Handle(), {10, 10, 110, 60}, unknown);
    ASSERT_TRUE(control_->Valid());
  }
  void TearDown() override {
    delete control_;
    for (const AdviseSink* sink : {&first_, &second_}) EXPECT_EQ(sink->refs, 1u) << "the control let go of its sinks";
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    OleUninitialize();
  }
  IOleObject* Object() { return control_->Object(); }

  // The cookies EnumAdvise lists, releasing what it hands out.
  std::vector<DWORD> Listed() {
    std::vector<DWORD> cookies;
    IEnumSTATDATA* list = nullptr;
    EXPECT_EQ(Object()->EnumAdvise(&list), S_OK);
    if (list == nullptr) return cookies;
    STATDATA data = {};
    ULONG fetched = 0;
    while (list->Next(1, &data, &fetched) == S_OK && fetched == 1) {
      cookies.push_back(data.dwConnection);
      if (data.pAdvSink != nullptr) data.pAdvSink->Release();
    }
    list->Release();
    return cookies;
  }

  comtest::ZubAudioRDll dll_;
  comtest::ContainerWindow window_;
  comtest::HostedControl* control_ = nullptr;
  AdviseSink first_;
  AdviseSink second_;
};

TEST_F(AdviseTest, SinksAreAdvisedListedAndRemoved) {
  IEnumSTATDATA* list = reinterpret_cast<IEnumSTATDATA*>(1);
  EXPECT_EQ(Object()->EnumAdvise(&list), S_OK);
  EXPECT_EQ(list, nullptr) << "no sinks yet: no enumerator";
  EXPECT_EQ(Object()->EnumAdvise(nullptr), E_POINTER);
  EXPECT_EQ(Object()->Unadvise(1), OLE_E_NOCONNECTION);
  DWORD cookie = 7;
  EXPECT_EQ(Object()->Advise(nullptr, &cookie), E_INVALIDARG);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(Object()->Advise(&first_, nullptr), E_POINTER);
  EXPECT_EQ(first_.refs, 1u);

  DWORD one = 0, two = 0;
  ASSERT_EQ(Object()->Advise(&first_, &one), S_OK);
  ASSERT_EQ(Object()->Advise(&second_, &two), S_OK);
  EXPECT_NE(one, 0u);
  EXPECT_NE(two, 0u);
  EXPECT_NE(one, two);
  EXPECT_EQ(first_.refs, 2u) << "the holder keeps one reference per sink";
  EXPECT_EQ(Listed(), (std::vector<DWORD>{one, two}));
  EXPECT_EQ(Object()->Unadvise(one), S_OK);
  EXPECT_EQ(Object()->Unadvise(one), OLE_E_NOCONNECTION);
  EXPECT_EQ(first_.refs, 1u);
  EXPECT_EQ(Listed(), (std::vector<DWORD>{two}));
  // second_ stays advised: the control's end lets go of it (TearDown).
}

TEST_F(AdviseTest, CloseTellsTheSinksWhileTheControlIsStillActive) {
  DWORD one = 0, two = 0;
  ASSERT_EQ(Object()->Advise(&first_, &one), S_OK);
  ASSERT_EQ(Object()->Advise(&second_, &two), S_OK);
  ASSERT_HRESULT_SUCCEEDED(control_->Activate());
  const HWND window = control_->Window();
  ASSERT_NE(window, nullptr);
  bool window_at_close = false;
  first_.on_close = [&] { window_at_close = IsWindow(window) && control_->SiteOf().active; };
  ASSERT_HRESULT_SUCCEEDED(Object()->Close(OLECLOSE_NOSAVE));
  EXPECT_EQ(first_.closes, 1);
  EXPECT_EQ(second_.closes, 1);
  EXPECT_TRUE(window_at_close) << "OnClose comes before deactivation";
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(control_->SiteOf().active);
  EXPECT_EQ(Object()->Unadvise(one), S_OK) << "Close keeps the sinks";
  ASSERT_HRESULT_SUCCEEDED(Object()->Close(OLECLOSE_NOSAVE));
  EXPECT_EQ(second_.closes, 2);
  EXPECT_EQ(first_.closes, 1);
}

// A container may drop the control from OnClose; Close must not touch it afterwards.
TEST_F(AdviseTest, ASinkReleasingTheControlInOnCloseIsSafe) {
  DWORD cookie = 0;
  ASSERT_EQ(Object()->Advise(&first_, &cookie), S_OK);
  ASSERT_HRESULT_SUCCEEDED(control_->Activate());
  const HWND window = control_->Window();
  ASSERT_NE(window, nullptr);
  IOleObject* object = Object();
  object->AddRef();
  control_->Release();  // the container's own references: the sink's Release below is the last
  first_.on_close = [&] { object->Release(); };
  EXPECT_HRESULT_SUCCEEDED(object->Close(OLECLOSE_NOSAVE));
  EXPECT_EQ(first_.closes, 1);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dll_.CanUnloadNow(), S_OK) << "the control ended when Close returned";
}

}  // namespace
