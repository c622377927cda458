// A container of the tests' own for the controls that play: a top-level window (wine's null
// display), one site per control with what in-place activation needs (IOleClientSite and
// IOleInPlaceSite, no frame), a message pump to wait with, and a watcher that presses OK on the
// message boxes the process shows, so a control that cannot start its sound never blocks a run.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ZubAudioR.h"

namespace comtest {

// Runs this thread's message loop until done() holds or timeout_ms have passed; returns done().
// Waiting for a control always pumps: its window and DirectSound live on this thread.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms);
void PumpFor(DWORD ms);

// A devsim port the test script exported (ZUB_DEVSIM_PORT_A / _B); 0 when it is missing.
int DevsimPort(const char* variable);
// PeakValue while a tone of this peak amplitude plays: the level code of its largest sample.
int PeakOfTone(int amplitude);

class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Every box pressed so far, as "caption: text"; clears the list.
  std::vector<std::wstring> Take();

 private:
  void Watch();
  static BOOL CALLBACK OnWindow(HWND window, LPARAM self);
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::wstring> seen_;
  std::set<HWND> noted_;
  std::set<HWND> pressed_;
  std::thread thread_;
};

// The container's top-level window.
class ContainerWindow {
 public:
  ContainerWindow();
  ~ContainerWindow();
  ContainerWindow(const ContainerWindow&) = delete;
  ContainerWindow& operator=(const ContainerWindow&) = delete;
  HWND Handle() const { return window_; }
  // Destroys it now (its child windows, the controls' included, go with it).
  void Destroy();

 private:
  HWND window_;
};

// One control's place in the container. Not reference-counted: the site outlives the control.
class Site : public IOleClientSite, public IOleInPlaceSite {
 public:
  Site(HWND parent, const RECT& position) : parent_(parent), position_(position) {}
  virtual ~Site() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  ULONG refs = 1;
  bool active = false;  // between OnInPlaceActivate and OnInPlaceDeactivate

 private:
  HWND parent_;
  RECT position_;
};

// A control held by the container in its own site: IOleObject for activation, IReceiveAudio to
// drive it. The destructor closes and releases it unless Release already did.
class HostedControl {
 public:
  // Takes over the caller's reference to unknown.
  HostedControl(HWND parent, const RECT& position, IUnknown* unknown);
  ~HostedControl();
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;

  bool Valid() const { return object_ != nullptr && control_ != nullptr; }
  IReceiveAudio* operator->() const { return control_; }
  IOleObject* Object() const { return object_; }
  Site& SiteOf() { return site_; }

  // SetClientSite, then OLEIVERB_INPLACEACTIVATE.
  HRESULT Activate();
  // IOleInPlaceObject::InPlaceDeactivate.
  HRESULT Deactivate();
  // The control's own window; null when it has none.
  HWND Window() const;
  // IP "127.0.0.1" and the port.
  HRESULT PointAt(int port);
  // PeakValue; -1 when it cannot be read.
  int Peak() const;
  // The container lets go of its last reference as it is, without closing it first.
  void Release();

 private:
  Site site_;
  IOleObject* object_ = nullptr;
  IReceiveAudio* control_ = nullptr;
};

}  // namespace comtest
