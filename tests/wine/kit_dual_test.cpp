// The kit's generic vtable entries (com/dual.h) with every C type a dual interface of these
// controls uses: KitDual in KitTest.dll is the kit's test control behind IKitDual, whose vtable
// is nothing but com::dual templates. Each entry must reach the member table as IDispatch does.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "KitTest.h"
#include "dll_loader.h"
#include "ole_container.h"

namespace {

std::wstring Take(BSTR b) {
  std::wstring s = b != nullptr ? std::wstring(b, SysStringLen(b)) : L"<null>";
  SysFreeString(b);
  return s;
}

class KitDualTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IKitDual, reinterpret_cast<void**>(&control_)));
  }
  void TearDown() override {
    if (control_ != nullptr) {
      EXPECT_EQ(control_->Release(), 0u);
    }
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    CoUninitialize();
  }
  comtest::ControlDll dll_{L"KitTest.dll", CLSID_KitDual};
  IKitDual* control_ = nullptr;
};

TEST_F(KitDualTest, EntriesCarryEveryCTypeBothWays) {
  SHORT level = 0;
  ASSERT_HRESULT_SUCCEEDED(control_->get_Level(&level));
  EXPECT_EQ(level, 7) << "the default";
  ASSERT_HRESULT_SUCCEEDED(control_->put_Level(-32768));
  ASSERT_HRESULT_SUCCEEDED(control_->get_Level(&level));
  EXPECT_EQ(level, -32768);

  VARIANT_BOOL flag = VARIANT_TRUE;
  ASSERT_HRESULT_SUCCEEDED(control_->get_Flag(&flag));
  EXPECT_EQ(flag, VARIANT_FALSE);
  ASSERT_HRESULT_SUCCEEDED(control_->put_Flag(VARIANT_TRUE));
  ASSERT_HRESULT_SUCCEEDED(control_->get_Flag(&flag));
  EXPECT_EQ(flag, VARIANT_TRUE);

  ULONG count = 0;
  ASSERT_HRESULT_SUCCEEDED(control_->put_Count(0xFFFFFFFFu));
  ASSERT_HRESULT_SUCCEEDED(control_->get_Count(&count));
  EXPECT_EQ(count, 0xFFFFFFFFu);

  // The same values through IDispatch: one route.
  IDispatch* dispatch = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
  EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(control_));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT v;
  VariantInit(&v);
  ASSERT_HRESULT_SUCCEEDED(dispatch->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v,
                                            nullptr, nullptr));
  EXPECT_EQ(v.vt, VT_UI4);
  EXPECT_EQ(v.ulVal, 0xFFFFFFFFu);
  dispatch->Release();

  EXPECT_EQ(control_->get_Level(nullptr), E_POINTER);
  EXPECT_EQ(control_->get_Flag(nullptr), E_POINTER);
}

TEST_F(KitDualTest, MethodsPassArgumentsInOrderAndTheirOwnCodes) {
  struct Case {
    SHORT n;
    const wchar_t* prefix;  // null: a null BSTR, which is empty text
    HRESULT want;
    const wchar_t* result;
  } const cases[] = {
      {3, L"n=", S_OK, L"n=3"},
      {-4, L"テキスト", S_OK, L"テキスト-4"},
      {5, nullptr, S_FALSE, L"5"},
      {101, L"x", E_INVALIDARG, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    BSTR prefix = c.prefix != nullptr ? SysAllocString(c.prefix) : nullptr;
    BSTR out = nullptr;
    EXPECT_EQ(control_->Describe(c.n, prefix, &out), c.want);
    if (c.result != nullptr) EXPECT_EQ(Take(out), c.result);
    else SysFreeString(out);
    SysFreeString(prefix);
  }
  EXPECT_EQ(control_->Describe(1, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(control_->FireHere(1), S_OK) << "no sink: nobody hears it";
}

TEST_F(KitDualTest, ARefusedEditReachesTheVtableCaller) {
  IConnectionPointContainer* container = nullptr;
  ASSERT_HRESULT_SUCCEEDED(
      control_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)));
  IConnectionPoint* point = nullptr;
  ASSERT_HRESULT_SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point));
  comtest::NotifySink sink;
  sink.edit_answer = S_FALSE;  // refuses every edit it is asked about
  DWORD cookie = 0;
  ASSERT_HRESULT_SUCCEEDED(point->Advise(&sink, &cookie));
  EXPECT_EQ(control_->put_Enabled(VARIANT_FALSE), CTL_E_SETNOTPERMITTED);
  EXPECT_EQ(sink.requests, 1);
  VARIANT_BOOL enabled = VARIANT_FALSE;
  ASSERT_HRESULT_SUCCEEDED(control_->get_Enabled(&enabled));
  EXPECT_EQ(enabled, VARIANT_TRUE);
  ASSERT_HRESULT_SUCCEEDED(point->Unadvise(cookie));
  point->Release();
  container->Release();
  EXPECT_EQ(sink.refs, 1u);
}

}  // namespace
