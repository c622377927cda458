// Loads ZubAudioR.dll from the test's own directory and reaches its exports directly, as COM
// would after registration.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>

#include <string>

namespace comtest {

std::wstring DllPath();

class ZubAudioRDll {
 public:
  ZubAudioRDll();
  ~ZubAudioRDll();
  ZubAudioRDll(const ZubAudioRDll&) = delete;
  ZubAudioRDll& operator=(const ZubAudioRDll&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  HMODULE Module() const { return module_; }
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer() const;
  // A new control through the DLL's class factory.
  HRESULT Create(REFIID iid, void** out, IUnknown* outer = nullptr) const;

 private:
  HMODULE module_;
};

}  // namespace comtest
