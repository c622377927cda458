#include "ole_container.h"

#include <utility>

namespace comtest {

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount64() - start >= timeout_ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

// Message boxes

MessageBoxWatcher::MessageBoxWatcher(Listener on_box) : on_box_(std::move(on_box)), thread_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<std::wstring> MessageBoxWatcher::Take() {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<std::wstring> out;
  out.swap(seen_);
  return out;
}

void MessageBoxWatcher::Watch() {
  while (!stop_) {
    EnumWindows(&MessageBoxWatcher::OnWindow, reinterpret_cast<LPARAM>(this));
    Sleep(10);
  }
}

namespace {

BOOL CALLBACK FindText(HWND child, LPARAM out) {
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  if (lstrcmpiW(name, L"Static") != 0) return TRUE;
  wchar_t text[1024] = {};
  if (GetWindowTextW(child, text, 1024) == 0) return TRUE;
  *reinterpret_cast<std::wstring*>(out) = text;
  return FALSE;
}

}  // namespace

BOOL CALLBACK MessageBoxWatcher::OnWindow(HWND window, LPARAM self_param) {
  auto* self = reinterpret_cast<MessageBoxWatcher*>(self_param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (lstrcmpW(name, L"#32770") != 0) return TRUE;
  {
    std::lock_guard<std::mutex> hold(self->lock_);
    if (self->pressed_.count(window) != 0) return TRUE;
  }
  HWND ok = GetDlgItem(window, IDOK);
  if (ok == nullptr) return TRUE;
  // Read without the lock (the box's thread answers these), noted before the click: once
  // pressed, the box's caller may go on and ask for the list before this thread runs again.
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  std::wstring text;
  EnumChildWindows(window, &FindText, reinterpret_cast<LPARAM>(&text));
  bool fresh = false;
  {
    std::lock_guard<std::mutex> hold(self->lock_);
    fresh = self->noted_.insert(window).second;
    if (fresh) self->seen_.push_back(std::wstring(caption) + L": " + text);
  }
  if (fresh && self->on_box_) self->on_box_(caption, text);
  DWORD_PTR ignored = 0;
  // The box's thread answers from its modal loop; a time-out only means another try later.
  if (SendMessageTimeoutW(ok, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) == 0) return TRUE;
  std::lock_guard<std::mutex> hold(self->lock_);
  self->pressed_.insert(window);
  return TRUE;
}

// The container window

ContainerWindow::ContainerWindow()
    : window_(CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0,
                              0, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}

ContainerWindow::~ContainerWindow() { Destroy(); }

void ContainerWindow::Destroy() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
}

// Site

HRESULT STDMETHODCALLTYPE Site::QueryInterface(REFIID iid, void** out) {
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

HRESULT STDMETHODCALLTYPE Site::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Site::GetContainer(IOleContainer** out) {
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE Site::GetWindow(HWND* out) {
  *out = parent_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Site::OnInPlaceActivate() {
  active = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Site::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                                 LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  *frame = nullptr;  // a container without a frame, which the control must accept
  *doc = nullptr;
  *pos = position_;
  *clip = position_;
  if (info != nullptr) {
    info->fMDIApp = FALSE;
    info->hwndFrame = parent_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE Site::OnInPlaceDeactivate() {
  active = false;
  return S_OK;
}

// MapBag

MapBag::~MapBag() {
  for (auto& [name, v] : values) VariantClear(&v);
}

HRESULT STDMETHODCALLTYPE MapBag::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
    *out = this;
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE MapBag::Read(LPCOLESTR name, VARIANT* v, IErrorLog*) {
  if (auto e = errors.find(name); e != errors.end()) return e->second;
  auto it = values.find(name);
  if (it == values.end()) return E_INVALIDARG;
  return VariantCopy(v, &it->second);
}

HRESULT STDMETHODCALLTYPE MapBag::Write(LPCOLESTR name, VARIANT* v) {
  written.push_back(name);
  VARIANT& slot = values[name];  // a new entry starts zeroed: VT_EMPTY
  VariantClear(&slot);
  return VariantCopy(&slot, v);
}

AtlHost LoadAtlHost() {
  AtlHost host;
  HMODULE atl = LoadLibraryW(L"atl.dll");
  if (atl == nullptr) return host;
  host.init = reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  host.get_control = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  return host;
}

}  // namespace comtest
