#include "test_container.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "audio_common/g711.h"

namespace comtest {

int DevsimPort(const char* variable) {
  const char* text = std::getenv(variable);
  if (text == nullptr) return 0;
  const int port = std::atoi(text);
  return port > 0 && port < 65536 ? port : 0;
}

int PeakOfTone(int amplitude) {
  const auto level = [](int sample) { return audio::EncodeMuLawSample(static_cast<std::int16_t>(sample)) & 0x7F; };
  return std::min(level(amplitude), level(-amplitude));
}

// HostedControl

HostedControl::HostedControl(HWND parent, const RECT& position, IUnknown* unknown) : site_(parent, position) {
  if (unknown == nullptr) return;
  unknown->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object_));
  unknown->QueryInterface(IID_IReceiveAudio, reinterpret_cast<void**>(&control_));
  unknown->Release();
}

HostedControl::~HostedControl() {
  if (object_ != nullptr) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
  }
  Release();
}

HRESULT HostedControl::Activate() {
  HRESULT hr = object_->SetClientSite(&site_);
  if (FAILED(hr)) return hr;
  return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, nullptr, nullptr);
}

HRESULT HostedControl::Deactivate() {
  IOleInPlaceObject* inplace = nullptr;
  HRESULT hr = object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace));
  if (FAILED(hr)) return hr;
  hr = inplace->InPlaceDeactivate();
  inplace->Release();
  return hr;
}

HWND HostedControl::Window() const {
  IOleInPlaceObject* inplace = nullptr;
  if (object_ == nullptr ||
      FAILED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inplace)))) {
    return nullptr;
  }
  HWND window = nullptr;
  if (FAILED(inplace->GetWindow(&window))) window = nullptr;
  inplace->Release();
  return window;
}

HRESULT HostedControl::PointAt(int port) {
  BSTR ip = SysAllocString(L"127.0.0.1");
  HRESULT hr = control_->put_IP(ip);
  SysFreeString(ip);
  if (SUCCEEDED(hr)) hr = control_->put_Port(port);
  return hr;
}

int HostedControl::Peak() const {
  BYTE peak = 0;
  return control_ != nullptr && SUCCEEDED(control_->get_PeakValue(&peak)) ? peak : -1;
}

void HostedControl::Release() {
  if (control_ != nullptr) control_->Release();
  if (object_ != nullptr) object_->Release();
  control_ = nullptr;
  object_ = nullptr;
}

}  // namespace comtest
