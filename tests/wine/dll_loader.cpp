#include "dll_loader.h"

#include "ZubAudioR.h"

namespace comtest {

std::wstring DllPath() {
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"ZubAudioR.dll";
}

ZubAudioRDll::ZubAudioRDll() : module_(LoadLibraryW(DllPath().c_str())) {}

ZubAudioRDll::~ZubAudioRDll() {
  if (module_ != nullptr) FreeLibrary(module_);
}

HRESULT ZubAudioRDll::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  return fn == nullptr ? E_NOTIMPL : fn(clsid, iid, out);
}

HRESULT ZubAudioRDll::CanUnloadNow() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  return fn == nullptr ? E_NOTIMPL : fn();
}

HRESULT ZubAudioRDll::RegisterServer() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
  return fn == nullptr ? E_NOTIMPL : fn();
}

HRESULT ZubAudioRDll::Create(REFIID iid, void** out, IUnknown* outer) const {
  IClassFactory* factory = nullptr;
  HRESULT hr = GetClassObject(CLSID_ReceiveAudio, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, iid, out);
  factory->Release();
  return hr;
}

}  // namespace comtest
