// The receive control playing from devsim under wine: in a container of the tests' own and in
// wine's ATL host, one control and two at once, with Reload, Stop, deactivation and release
// ending or keeping each worker. tests/wine/run-com-tests starts the devices and exports their
// ports: ZUB_DEVSIM_PORT_A plays a 1 kHz tone of peak 16384, ZUB_DEVSIM_PORT_B one of peak 300,
// so each control's PeakValue tells which stream it plays. The sound goes to the PulseAudio
// null sink the script starts.
//
// Waits are polls with generous bounds, pumping messages all the while. A worker that has
// ended is seen by a PeakValue the test writes: nothing overwrites it any more.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZubAudioR.h"
#include "dll_loader.h"
#include "test_container.h"

namespace {

using comtest::HostedControl;
using comtest::PeakOfTone;
using comtest::PumpFor;
using comtest::PumpUntil;

constexpr DWORD kPlayBoundMs = 15000;   // from Play to the tone's level
constexpr DWORD kQuietCheckMs = 1000;   // a written PeakValue must survive this long
constexpr DWORD kDeactivateBoundMs = 4000;  // deactivation waits for the worker to end
constexpr BYTE kMarker = 200;           // a PeakValue no tone produces

const RECT kLeft = {10, 10, 110, 60};
const RECT kRight = {150, 10, 250, 60};

bool Near(int peak, int want) { return peak >= want - 1 && peak <= want + 1; }

IUnknown* NewFromFactory(const comtest::ZubAudioRDll& dll) {
  IUnknown* unknown = nullptr;
  EXPECT_HRESULT_SUCCEEDED(dll.Create(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  return unknown;
}

// Writes the marker and checks that no worker writes over it.
void ExpectNoWorker(HostedControl& control, const char* when) {
  ASSERT_HRESULT_SUCCEEDED(control->put_PeakValue(kMarker));
  PumpFor(kQuietCheckMs);
  EXPECT_EQ(control.Peak(), kMarker) << "a worker still plays " << when;
}

class PlayTest : public testing::Test {
 protected:
  void SetUp() override {
    port_a_ = comtest::DevsimPort("ZUB_DEVSIM_PORT_A");
    port_b_ = comtest::DevsimPort("ZUB_DEVSIM_PORT_B");
    if (port_a_ == 0 || port_b_ == 0) GTEST_SKIP() << "ZUB_DEVSIM_PORT_A/_B not set (tests/wine/run-com-tests sets them)";
    ASSERT_HRESULT_SUCCEEDED(OleInitialize(nullptr));
    initialized_ = true;
    ASSERT_NE(window_.Handle(), nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(boxes_.Take(), std::vector<std::wstring>{}) << "message boxes";
    if (initialized_) OleUninitialize();
  }

  int port_a_ = 0;
  int port_b_ = 0;
  bool initialized_ = false;
  comtest::MessageBoxWatcher boxes_;
  comtest::ContainerWindow window_;
};

TEST_F(PlayTest, PlaysReloadsAndEndsWithDeactivation) {
  comtest::ZubAudioRDll dll;
  ASSERT_TRUE(dll.Loaded());
  {
    HostedControl control(window_.Handle(), kLeft, NewFromFactory(dll));
    ASSERT_TRUE(control.Valid());
    ASSERT_HRESULT_SUCCEEDED(control.Activate());
    ASSERT_NE(control.Window(), nullptr);
    ASSERT_HRESULT_SUCCEEDED(control.PointAt(port_a_));
    EXPECT_EQ(control.Peak(), 255) << "nothing played yet";
    const int loud = PeakOfTone(16384);

    ASSERT_EQ(control->Play(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return Near(control.Peak(), loud); }, kPlayBoundMs))
        << "PeakValue " << control.Peak() << ", want " << loud;

    ASSERT_EQ(control->Reload(), S_OK);
    EXPECT_TRUE(Near(control.Peak(), loud)) << "Reload keeps the last level";
    ExpectNoWorker(control, "after Reload");
    ASSERT_EQ(control->Play(), S_OK) << "Play after Reload starts afresh";
    EXPECT_TRUE(PumpUntil([&] { return Near(control.Peak(), loud); }, kPlayBoundMs));

    const ULONGLONG start = GetTickCount64();
    ASSERT_HRESULT_SUCCEEDED(control.Deactivate());
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_LT(took, kDeactivateBoundMs) << "in-place deactivation waits for the worker";
    EXPECT_EQ(control.Window(), nullptr);
    EXPECT_FALSE(control.SiteOf().active);
    ExpectNoWorker(control, "after deactivation");
  }
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// Without its window the control has no sound device: Play says so in a box and returns
// S_FALSE; activated afterwards it plays.
TEST_F(PlayTest, PlayWithoutTheWindowShowsTheBoxThenPlaysOnceActive) {
  comtest::ZubAudioRDll dll;
  ASSERT_TRUE(dll.Loaded());
  {
    HostedControl control(window_.Handle(), kLeft, NewFromFactory(dll));
    ASSERT_TRUE(control.Valid());
    ASSERT_HRESULT_SUCCEEDED(control.PointAt(port_a_));
    ASSERT_HRESULT_SUCCEEDED(control->put_Language(1));
    EXPECT_EQ(control->Play(), S_FALSE);
    EXPECT_EQ(boxes_.Take(), std::vector<std::wstring>{
                                 L"Error: Audio function is not available,\nbecause audio driver is not installed."});
    ExpectNoWorker(control, "after a refused Play");

    ASSERT_HRESULT_SUCCEEDED(control.Activate());
    ASSERT_EQ(control->Play(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return Near(control.Peak(), PeakOfTone(16384)); }, kPlayBoundMs));
  }
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// Two controls loaded through COM, as a page loads them: each plays its own stream, Stop ends
// one stream only, and the DLL stays while either control lives.
TEST_F(PlayTest, TwoControlsPlayTheirOwnStreamsAndKeepTheDllLoaded) {
  const std::wstring path = comtest::DllPath();
  {
    comtest::ZubAudioRDll dll;
    ASSERT_TRUE(dll.Loaded());
    ASSERT_HRESULT_SUCCEEDED(dll.RegisterServer()) << "CoCreateInstance finds the DLL through the registry";
  }
  CoFreeUnusedLibrariesEx(0, 0);  // what COM may still hold for an earlier test in this apartment
  ASSERT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "only COM may hold the DLL in this test";
  IUnknown* unknowns[2] = {};
  for (IUnknown*& unknown : unknowns) {
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ReceiveAudio, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                              reinterpret_cast<void**>(&unknown)));
  }
  const HMODULE module = GetModuleHandleW(path.c_str());
  ASSERT_NE(module, nullptr);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  const auto can_unload =
      reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(can_unload, nullptr);

  HostedControl a(window_.Handle(), kLeft, unknowns[0]);
  HostedControl b(window_.Handle(), kRight, unknowns[1]);
  ASSERT_TRUE(a.Valid() && b.Valid());
  ASSERT_HRESULT_SUCCEEDED(a.Activate());
  ASSERT_HRESULT_SUCCEEDED(b.Activate());
  ASSERT_HRESULT_SUCCEEDED(a.PointAt(port_a_));
  ASSERT_HRESULT_SUCCEEDED(b.PointAt(port_b_));
  const int loud = PeakOfTone(16384);
  const int quiet = PeakOfTone(300);
  ASSERT_NE(loud, quiet);
  ASSERT_EQ(a->Play(), S_OK);
  ASSERT_EQ(b->Play(), S_OK);
  const auto both_play = [&] { return Near(a.Peak(), loud) && Near(b.Peak(), quiet); };
  EXPECT_TRUE(PumpUntil(both_play, kPlayBoundMs)) << "A " << a.Peak() << " (want " << loud << "), B " << b.Peak()
                                                  << " (want " << quiet << ")";

  // Stop lets the worker finish the read it is in; after that nothing plays on A.
  ASSERT_EQ(a->Stop(), S_OK);
  PumpFor(kQuietCheckMs);
  ASSERT_HRESULT_SUCCEEDED(a->put_PeakValue(kMarker));
  ASSERT_HRESULT_SUCCEEDED(b->put_PeakValue(kMarker));
  EXPECT_TRUE(PumpUntil([&] { return Near(b.Peak(), quiet); }, kPlayBoundMs)) << "B plays on";
  PumpFor(kQuietCheckMs);
  EXPECT_EQ(a.Peak(), kMarker) << "A stopped";
  ASSERT_EQ(a->Play(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return Near(a.Peak(), loud); }, kPlayBoundMs)) << "A resumes after Stop";

  // The container lets go of A while both play: A's worker ends with it, B's goes on.
  a.Release();
  EXPECT_EQ(a.SiteOf().refs, 1u) << "A let go of its site";
  ASSERT_HRESULT_SUCCEEDED(b->put_PeakValue(kMarker));
  EXPECT_TRUE(PumpUntil([&] { return Near(b.Peak(), quiet); }, kPlayBoundMs)) << "B plays on without A";
  EXPECT_EQ(can_unload(), S_FALSE) << "B lives";
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(path.c_str()), module) << "COM kept the DLL while B lives";

  ASSERT_HRESULT_SUCCEEDED(b.Object()->Close(OLECLOSE_NOSAVE));
  ASSERT_HRESULT_SUCCEEDED(b.Object()->SetClientSite(nullptr));
  b.Release();
  EXPECT_EQ(b.SiteOf().refs, 1u);
  EXPECT_EQ(can_unload(), S_OK);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "with both controls gone COM unloads the DLL";
}

// Wine's ATL host: the page's own container for the control, created by ProgID.
TEST_F(PlayTest, PlaysInWinesAtlHost) {
  comtest::ZubAudioRDll dll;
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
  HWND host = CreateWindowExW(0, L"AtlAxWin", L"Zu_R_Audio.ReceiveAudio.1", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100,
                              window_.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  IUnknown* unknown = nullptr;
  ASSERT_HRESULT_SUCCEEDED(get_control(host, &unknown));
  IReceiveAudio* control = nullptr;
  ASSERT_HRESULT_SUCCEEDED(unknown->QueryInterface(IID_IReceiveAudio, reinterpret_cast<void**>(&control)));
  unknown->Release();
  BSTR ip = SysAllocString(L"127.0.0.1");
  EXPECT_HRESULT_SUCCEEDED(control->put_IP(ip));
  SysFreeString(ip);
  EXPECT_HRESULT_SUCCEEDED(control->put_Port(port_a_));
  EXPECT_EQ(control->Play(), S_OK);
  const int loud = PeakOfTone(16384);
  BYTE peak = 0;
  EXPECT_TRUE(PumpUntil([&] { return SUCCEEDED(control->get_PeakValue(&peak)) && Near(peak, loud); }, kPlayBoundMs))
      << "PeakValue " << int{peak} << ", want " << loud;

  // The page goes: the host window takes the control's window and with it the worker.
  window_.Destroy();
  ASSERT_HRESULT_SUCCEEDED(control->put_PeakValue(kMarker));
  PumpFor(kQuietCheckMs);
  ASSERT_HRESULT_SUCCEEDED(control->get_PeakValue(&peak));
  EXPECT_EQ(peak, kMarker) << "a worker still plays after the host window went";
  control->Release();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
  EXPECT_TRUE(UnregisterClassW(L"AtlAxWin", GetModuleHandleW(nullptr)));
}

}  // namespace
