// What every control DLL owes a container alike, checked for each: one identity behind all its
// interfaces, both safety options on each of them, hosting by ProgID in a container nobody here
// wrote (wine's ATL host window, class AtlAxWin), and COM unloading the DLL after the last release.
#include <gtest/gtest.h>

#include <objsafe.h>

#include <cstring>
#include <string>
#include <vector>

#include "control_classes.h"
#include "dll_loader.h"
#include "ole_container.h"

namespace {

using comtest::ControlClass;

class ControlsTest : public testing::TestWithParam<ControlClass> {
 protected:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr)); }
  void TearDown() override { OleUninitialize(); }
  // The interfaces the control answers.
  static std::vector<const IID*> Answered() {
    std::vector<const IID*> iids = {GetParam().default_iid, &IID_IDispatch};
    for (const IID* iid : comtest::KitInterfaces()) iids.push_back(iid);
    return iids;
  }
};

TEST_P(ControlsTest, EveryInterfaceAnswersWithTheSameIdentity) {
  comtest::ControlDll dll(GetParam().dll, *GetParam().clsid);
  ASSERT_TRUE(dll.Loaded());
  IUnknown* unknown = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll.Create(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  const std::vector<const IID*> iids = Answered();
  for (std::size_t i = 0; i < iids.size(); ++i) {
    SCOPED_TRACE(i);
    IUnknown* iface = nullptr;
    ASSERT_HRESULT_SUCCEEDED(unknown->QueryInterface(*iids[i], reinterpret_cast<void**>(&iface)));
    IUnknown* identity = nullptr;
    ASSERT_HRESULT_SUCCEEDED(iface->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(identity, unknown);
    identity->Release();
    iface->Release();
  }
  EXPECT_EQ(unknown->Release(), 0u);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// A page's script may use the control only when both options hold for the interface it uses;
// a container asks for any interface the control answers, and no other.
TEST_P(ControlsTest, ObjectSafetyGrantsBothOptionsOnEveryInterface) {
  comtest::ControlDll dll(GetParam().dll, *GetParam().clsid);
  ASSERT_TRUE(dll.Loaded());
  IObjectSafety* safety = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll.Create(IID_IObjectSafety, reinterpret_cast<void**>(&safety)));
  const DWORD both = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  const std::vector<const IID*> iids = Answered();
  for (std::size_t i = 0; i < iids.size(); ++i) {
    SCOPED_TRACE(i);
    DWORD supported = 0, enabled = 0;
    ASSERT_HRESULT_SUCCEEDED(safety->GetInterfaceSafetyOptions(*iids[i], &supported, &enabled));
    EXPECT_EQ(supported, both);
    ASSERT_HRESULT_SUCCEEDED(safety->SetInterfaceSafetyOptions(*iids[i], both, both));
    ASSERT_HRESULT_SUCCEEDED(safety->GetInterfaceSafetyOptions(*iids[i], &supported, &enabled));
    EXPECT_EQ(enabled, both);
  }
  DWORD supported = 0, enabled = 0;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL) << "an option nobody defined";
  EXPECT_EQ(safety->Release(), 0u);
}

TEST_P(ControlsTest, WinesAtlHostHostsTheControlByProgId) {
  comtest::ControlDll dll(GetParam().dll, *GetParam().clsid);
  ASSERT_TRUE(dll.Loaded());
  ASSERT_HRESULT_SUCCEEDED(dll.RegisterServer()) << "the host finds the control through the registry";
  const auto [init, get_control] = comtest::LoadAtlHost();
  ASSERT_NE(init, nullptr);
  ASSERT_NE(get_control, nullptr);
  // wine's AtlAxWinInit fails when its class exists already (registered by an earlier test);
  // the class is taken back at the end, so the next AtlAxWinInit succeeds as in a new process.
  WNDCLASSEXW atl_class = {};
  atl_class.cbSize = sizeof atl_class;
  ASSERT_TRUE(init() || GetClassInfoExW(GetModuleHandleW(nullptr), L"AtlAxWin", &atl_class));

  comtest::ContainerWindow page;
  HWND host = CreateWindowExW(0, L"AtlAxWin", GetParam().progid, WS_CHILD | WS_VISIBLE, 0, 0, 200, 100,
                              page.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  IUnknown* unknown = nullptr;
  ASSERT_HRESULT_SUCCEEDED(get_control(host, &unknown));
  ASSERT_NE(unknown, nullptr);
  IDispatch* control = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown->QueryInterface(*GetParam().default_iid, reinterpret_cast<void**>(&control)));
  const char* property = GetParam().default_property;
  std::wstring name(property, property + std::strlen(property));
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  ASSERT_HRESULT_SUCCEEDED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  ASSERT_HRESULT_SUCCEEDED(
      control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr));
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.lVal, GetParam().default_value) << GetParam().default_property << ", loaded new by the host";
  IOleInPlaceObject* inplace = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)));
  HWND window = nullptr;
  ASSERT_HRESULT_SUCCEEDED(inplace->GetWindow(&window)) << "activated in place by the host";
  EXPECT_EQ(GetParent(window), host);
  inplace->Release();
  control->Release();
  unknown->Release();
  page.Destroy();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "the host let go of the control with its window";
  EXPECT_TRUE(UnregisterClassW(L"AtlAxWin", GetModuleHandleW(nullptr)));
}

// Loaded by COM alone (CoCreateInstance through the registry), the DLL stays while a control
// lives and goes with CoFreeUnusedLibrariesEx after the last release.
TEST_P(ControlsTest, ComUnloadsTheDllAfterTheLastRelease) {
  const std::wstring path = comtest::DllPath(GetParam().dll);
  {
    comtest::ControlDll dll(GetParam().dll, *GetParam().clsid);
    ASSERT_TRUE(dll.Loaded());
    ASSERT_HRESULT_SUCCEEDED(dll.RegisterServer()) << "CoCreateInstance finds the DLL through the registry";
  }
  CoFreeUnusedLibrariesEx(0, 0);  // what COM may still hold for an earlier test in this apartment
  ASSERT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "only COM may hold the DLL in this test";
  IUnknown* unknown = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(*GetParam().clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                            reinterpret_cast<void**>(&unknown)));
  const HMODULE module = GetModuleHandleW(path.c_str());
  ASSERT_NE(module, nullptr);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  const auto can_unload =
      reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(can_unload, nullptr);
  EXPECT_EQ(can_unload(), S_FALSE) << "a control lives";
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(path.c_str()), module) << "COM kept the DLL while the control lives";
  EXPECT_EQ(unknown->Release(), 0u);
  EXPECT_EQ(can_unload(), S_OK);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "COM unloads the DLL once nothing of it lives";
}

INSTANTIATE_TEST_SUITE_P(Dlls, ControlsTest, testing::ValuesIn(comtest::ControlClasses()),
                         [](const testing::TestParamInfo<ControlClass>& info) { return std::string(info.param.name); });

}  // namespace
