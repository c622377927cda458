// A container nobody here wrote: wine's ATL host window (class AtlAxWin) creates the registered
// control by its ProgID, loads it and activates it in place.
#include <gtest/gtest.h>

#include <string>

#include "ZubAudioR.h"
#include "dll_loader.h"
#include "ole_container.h"

namespace {

TEST(AtlHostTest, HostsTheControlByProgId) {
  ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
  comtest::ZubAudioRDll dll;
  ASSERT_TRUE(dll.Loaded());
  ASSERT_HRESULT_SUCCEEDED(dll.RegisterServer()) << "the host finds the control through the registry";
  const auto [init, get_control] = comtest::LoadAtlHost();
  ASSERT_NE(init, nullptr);
  ASSERT_NE(get_control, nullptr);
  ASSERT_TRUE(init());

  HWND parent = CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 300, 200,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  HWND host = CreateWindowExW(0, L"AtlAxWin", L"Zu_R_Audio.ReceiveAudio.1", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100,
                              parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  IUnknown* unknown = nullptr;
  ASSERT_HRESULT_SUCCEEDED(get_control(host, &unknown));
  ASSERT_NE(unknown, nullptr);
  IReceiveAudio* control = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown->QueryInterface(IID_IReceiveAudio, reinterpret_cast<void**>(&control)));
  LONG port = 0;
  ASSERT_HRESULT_SUCCEEDED(control->get_Port(&port));
  EXPECT_EQ(port, 80);
  IOleInPlaceObject* inplace = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)));
  HWND window = nullptr;
  ASSERT_HRESULT_SUCCEEDED(inplace->GetWindow(&window)) << "activated in place by the host";
  EXPECT_EQ(GetParent(window), host);
  inplace->Release();
  control->Release();
  unknown->Release();
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(window));
  OleUninitialize();
}

}  // namespace
