// ZubAudioR.dll: the receive control's class on the COM kit, the vtable of its dual interface
// IReceiveAudio (in the IDL's order) and the list of the DLL's classes.
#include "com/win.h"

#include "ZubAudioR.h"
#include "ZubAudioR/ReceiveAudio.h"
#include "com/dual.h"
#include "com/server.h"

namespace {

using automation::Type;
namespace dual = com::dual;
using I = IReceiveAudio;

const IReceiveAudioVtbl kReceiveAudioVtbl = {
    ZUB_DUAL_IDISPATCH_ENTRIES(I),
    dual::Call<I, 1>,                      // Play
    dual::Get<I, 2, Type::kText>,          // IP
    dual::Put<I, 2, Type::kText>,
    dual::Get<I, 3, Type::kI4>,            // Port
    dual::Put<I, 3, Type::kI4>,
    dual::Get<I, 4, Type::kI4>,            // Volume
    dual::Put<I, 4, Type::kI4>,
    dual::Get<I, 5, Type::kI4>,            // DelayTime
    dual::Put<I, 5, Type::kI4>,
    dual::Get<I, 6, Type::kI4>,            // StreamType
    dual::Put<I, 6, Type::kI4>,
    dual::Call<I, 7>,                      // Stop
    dual::Put<I, 8, Type::kText>,          // Password
    dual::Call<I, 9>,                      // Reload
    dual::Get<I, 10, Type::kUI1>,          // PeakValue
    dual::Put<I, 10, Type::kUI1>,
    dual::Get<I, 11, Type::kI4>,           // Language
    dual::Put<I, 11, Type::kI4>,
    dual::Call<I, 12, Type::kText, Type::kUI1>,  // SetPassword
};

const com::ControlClass kReceiveAudioClass = {
    .clsid = &CLSID_ReceiveAudio,
    .progid = L"Zu_R_Audio.ReceiveAudio.1",
    .version_independent_progid = L"Zu_R_Audio.ReceiveAudio",
    .description = L"ReceiveAudio Class",
    .libid = &LIBID_Zu_R_AudioLib,
    .typelib_version = L"1.0",
    .default_iid = &IID_IReceiveAudio,
    .kind = com::InterfaceKind::kDual,
    .dual_vtbl = &kReceiveAudioVtbl,
    .events_iid = &DIID__IReceiveAudioEvents,
    .misc_status = com::kWindowedControlMiscStatus,
    .appid = L"{53420B31-8377-4198-9C6A-1FD03C884A5F}",
    .appid_name = L"Zub_R_Audio",
    .appid_module_key = L"Zu_R_Audio.DLL",
    .appid_kept = false,
    .class_key_rewritten = false,
    .toolbox_bitmap = 102,
    .property_pages = {},
    .create = &com::MakeControl<zubr::CReceiveAudio>,
};

const com::ControlClass* const kClasses[] = {&kReceiveAudioClass};

}  // namespace

std::span<const com::ControlClass* const> com::ModuleClasses() { return kClasses; }
