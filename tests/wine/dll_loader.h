// Loads a control DLL (ZubAudioR.dll, Oru_cam.dll or the kit's KitTest.dll) from the test's own
// directory and reaches its exports directly, as COM would after registration.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>

#include <string>

namespace comtest {

// A DLL beside the test; ZubAudioR.dll without a name.
std::wstring DllPath(const wchar_t* name = L"ZubAudioR.dll");

class ControlDll {
 public:
  ControlDll(const wchar_t* name, const CLSID& clsid);
  ~ControlDll();
  ControlDll(const ControlDll&) = delete;
  ControlDll& operator=(const ControlDll&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  HMODULE Module() const { return module_; }
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer() const;
  // A new control through the DLL's class factory.
  HRESULT Create(REFIID iid, void** out, IUnknown* outer = nullptr) const;

 private:
  HMODULE module_;
  CLSID clsid_;
};

class ZubAudioRDll : public ControlDll {
 public:
  ZubAudioRDll();
};

}  // namespace comtest
