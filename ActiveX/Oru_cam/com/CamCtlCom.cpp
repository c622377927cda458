// Oru_cam.dll: the camera command control's class on the COM kit, the vtable of its dual
// interface ICamCtl (in the IDL's order) and the list of the DLL's classes.
#include "com/win.h"

#include "Oru_cam.h"
#include "Oru_cam/CamCtl.h"
#include "com/dual.h"
#include "com/server.h"

namespace {

using automation::Type;
namespace dual = com::dual;
using I = ICamCtl;

const ICamCtlVtbl kCamCtlVtbl = {
    ZUB_DUAL_IDISPATCH_ENTRIES(I),
    dual::Put<I, DISPID_ENABLED, Type::kBool>,  // Enabled
    dual::Get<I, DISPID_ENABLED, Type::kBool>,
    dual::Get<I, 1, Type::kI4>,                 // Port
    dual::Put<I, 1, Type::kI4>,
    dual::Get<I, 2, Type::kText>,               // IP
    dual::Put<I, 2, Type::kText>,
    dual::CallResult<I, 3, Type::kUI1, Type::kText, Type::kUI1>,  // SendCmd
    dual::Get<I, 4, Type::kUI4>,                // MyIP
    dual::Put<I, 4, Type::kUI4>,
};

const com::ControlClass kCamCtlClass = {
    .clsid = &CLSID_CamCtl,
    .progid = L"Oru_cam.CamCtl.1",
    .version_independent_progid = L"Oru_cam.CamCtl",
    .description = L"CamCtl Class",
    .libid = &LIBID_Oru_camLib,
    .typelib_version = L"1.0",
    .default_iid = &IID_ICamCtl,
    .kind = com::InterfaceKind::kDual,
    .dual_vtbl = &kCamCtlVtbl,
    .events_iid = &DIID__ICamCtlEvents,
    .misc_status = com::kWindowedControlMiscStatus,
    .appid = L"{9C7EA1DF-31A4-48B4-AC7B-88E8E9FC3BDE}",
    .appid_name = L"Oru_cam",
    .appid_module_key = L"Oru_cam.DLL",
    .appid_kept = true,
    .class_key_rewritten = true,
    .toolbox_bitmap = 102,
    .property_pages = {},
    .create = &com::MakeControl<orucam::CCamCtl>,
};

const com::ControlClass* const kClasses[] = {&kCamCtlClass};

}  // namespace

std::span<const com::ControlClass* const> com::ModuleClasses() { return kClasses; }
