// The pieces of a control container that do not depend on the control: a message pump to wait
// with, a watcher that answers the message boxes the process shows, a top-level window (wine's
// null display) and a site with what in-place activation needs (IOleClientSite and
// IOleInPlaceSite, no frame). The COM tests and the Windows test container share them.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace comtest {

// Runs this thread's message loop until done() holds or timeout_ms have passed; returns done().
// Waiting for a control always pumps: its window and DirectSound live on this thread.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms);
void PumpFor(DWORD ms);

// Finds the message boxes this process shows and presses OK on each, as a person at the page
// would; on_box, when given, hears of each box (caption, text) before it is pressed.
class MessageBoxWatcher {
 public:
  using Listener = std::function<void(const std::wstring& caption, const std::wstring& text)>;
  explicit MessageBoxWatcher(Listener on_box = {});
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // Every box pressed so far, as "caption: text"; clears the list.
  std::vector<std::wstring> Take();

 private:
  void Watch();
  static BOOL CALLBACK OnWindow(HWND window, LPARAM self);
  Listener on_box_;
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

// A property bag over a map, as a container's page parameters: a name may answer with an error
// instead, values are handed out in the bag's own type whatever was asked, and writes are kept
// with their order.
class MapBag : public IPropertyBag {
 public:
  virtual ~MapBag();
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* v) override;

  std::map<std::wstring, VARIANT> values;
  std::map<std::wstring, HRESULT> errors;
  std::vector<std::wstring> written;
};

// Wine's ATL host (atl.dll): the two entry points a page's container of that kind uses. Either
// is null when atl.dll or the export is missing.
struct AtlHost {
  BOOL(WINAPI* init)() = nullptr;                           // AtlAxWinInit: the AtlAxWin class
  HRESULT(WINAPI* get_control)(HWND, IUnknown**) = nullptr;  // AtlAxGetControl
};
AtlHost LoadAtlHost();

// Records the property notifications a control sends, in order ("request ID", "changed ID"),
// and answers each OnRequestEdit with edit_answer (S_FALSE refuses the edit).
class NotifySink : public IPropertyNotifySink {
 public:
  virtual ~NotifySink() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    notes.push_back("changed " + std::to_string(id));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID id) override {
    notes.push_back("request " + std::to_string(id));
    ++requests;
    return edit_answer;
  }

  ULONG refs = 1;
  int requests = 0;
  HRESULT edit_answer = S_OK;
  std::vector<std::string> notes;
};

}  // namespace comtest
