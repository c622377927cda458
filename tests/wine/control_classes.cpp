#include "control_classes.h"

#include <objsafe.h>
#include <ocidl.h>

#include "Oru_cam.h"
#include "ZubAudioR.h"

namespace comtest {

const ControlClass kReceiveAudio = {"ReceiveAudio", L"ZubAudioR.dll", &CLSID_ReceiveAudio,
                                    L"Zu_R_Audio.ReceiveAudio.1", &IID_IReceiveAudio, "Port", 80};
const ControlClass kCamCtl = {"CamCtl", L"Oru_cam.dll", &CLSID_CamCtl, L"Oru_cam.CamCtl.1", &IID_ICamCtl, "Port",
                              49153};

std::span<const ControlClass> ControlClasses() {
  static const ControlClass all[] = {kReceiveAudio, kCamCtl};
  return all;
}

std::span<const IID* const> KitInterfaces() {
  static const IID* const iids[] = {
      &IID_IPersistStreamInit,      &IID_IPersist,           &IID_IOleControl,
      &IID_IOleObject,              &IID_IOleInPlaceActiveObject, &IID_IViewObjectEx,
      &IID_IViewObject2,            &IID_IViewObject,        &IID_IOleInPlaceObjectWindowless,
      &IID_IOleInPlaceObject,       &IID_IOleWindow,         &IID_ISupportErrorInfo,
      &IID_IConnectionPointContainer, &IID_IPersistStorage,  &IID_ISpecifyPropertyPages,
      &IID_IQuickActivate,          &IID_IDataObject,        &IID_IProvideClassInfo2,
      &IID_IProvideClassInfo,       &IID_IPersistPropertyBag, &IID_IObjectSafety,
  };
  return iids;
}

}  // namespace comtest
