#include "dll_loader.h"

#include "ZubAudioR.h"

namespace comtest {

std::wstring DllPath(const wchar_t* name) {
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

ControlDll::ControlDll(const wchar_t* name, const CLSID& clsid)
    : module_(LoadLibraryW(DllPath(name).c_str())), clsid_(clsid) {}

ControlDll::~ControlDll() {
  if (module_ != nullptr) FreeLibrary(module_);
}

HRESULT ControlDll::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  return fn == nullptr ? E_NOTIMPL : fn(clsid, iid, out);
}

HRESULT ControlDll::CanUnloadNow() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  return fn == nullptr ? E_NOTIMPL : fn();
}

HRESULT ControlDll::RegisterServer() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
  return fn == nullptr ? E_NOTIMPL : fn();
}

HRESULT ControlDll::Create(REFIID iid, void** out, IUnknown* outer) const {
  IClassFactory* factory = nullptr;
  HRESULT hr = GetClassObject(clsid_, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return hr;
}

ZubAudioRDll::ZubAudioRDll() : ControlDll(L"ZubAudioR.dll", CLSID_ReceiveAudio) {}

}  // namespace comtest
