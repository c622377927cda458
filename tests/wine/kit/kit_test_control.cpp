// The kit's test control and KitTest.dll around it: its member table, its two classes on the kit
// (KitTest, a dispinterface: no vtable of its own; KitDual, a dual interface of generic vtable
// entries, without ProgIDs or AppID) and the list of the DLL's classes.
#include "com/win.h"

#include "kit_test_control.h"

#include <thread>

#include "KitTest.h"
#include "com/dual.h"
#include "com/server.h"

namespace kittest {

namespace {

using automation::Member;
using automation::Param;
using automation::Type;
using C = KitTestControl;

constexpr Param kDescribeParams[] = {{"n", Type::kI2}, {"prefix", Type::kText}};
constexpr Param kFireParams[] = {{"n", Type::kI2}};

// The extent first, as a control whose property map holds it persists it.
constexpr Member kMembers[] = {
    automation::ExtentX(1),
    automation::ExtentY(2),
    automation::Property<&C::get_Level, &C::put_Level>(kLevel, "Level", nullptr, 3),
    automation::Property<&C::get_Flag, &C::put_Flag>(kFlag, "Flag", nullptr, 4),
    automation::Property<&C::get_Count, &C::put_Count>(kCount, "Count", nullptr, 5),
    automation::StockEnabled(6),
    automation::Method<&C::Describe>(kDescribe, "Describe", kDescribeParams),
    automation::Method<&C::FireHere>(kFireHere, "FireHere", kFireParams),
    automation::Method<&C::FireFromThread>(kFireFromThread, "FireFromThread", kFireParams),
};

constexpr automation::EventMember kEvents[] = {{kEndInit, "EndInit", nullptr}, {kTicked, "Ticked", nullptr}};

}  // namespace

HResult KitTestControl::Describe(std::int16_t n, const std::string& prefix, std::string* out) {
  if (n > 100) return automation::kE_InvalidArg;
  *out = prefix + std::to_string(n);
  return prefix.empty() ? automation::kS_FALSE : automation::kS_OK;
}

HResult KitTestControl::FireHere(std::int16_t n) {
  const automation::Value args[] = {automation::Value::Short(n)};
  FireEvent(kTicked, args);
  return automation::kS_OK;
}

HResult KitTestControl::FireFromThread(std::int16_t n) {
  std::thread worker([this, n] {
    const automation::Value args[] = {automation::Value::Short(n)};
    FireEvent(kTicked, args);
  });
  worker.join();
  return automation::kS_OK;
}

void KitTestControl::OnCreateWindow(WindowHandle) { FireEvent(kEndInit); }

std::span<const Member> KitTestControl::Members() const { return kMembers; }
std::span<const automation::EventMember> KitTestControl::Events() const { return kEvents; }

}  // namespace kittest

namespace {

const com::ControlClass kKitTestClass = {
    .clsid = &CLSID_KitTest,
    .progid = L"ZubKit.KitTest.1",
    .version_independent_progid = L"ZubKit.KitTest",
    .description = L"KitTest Class",
    .libid = &LIBID_ZubKitTestLib,
    .typelib_version = L"1.0",
    .default_iid = &DIID_DKitTest,
    .kind = com::InterfaceKind::kDispinterface,
    .dual_vtbl = nullptr,
    .events_iid = &DIID_DKitTestEvents,
    .misc_status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT |
                   OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE,
    .appid = L"{A49B3EB6-F57C-4C65-A847-83FE0E47DD21}",
    .appid_name = L"ZubKitTest",
    .appid_module_key = L"KitTest.DLL",
    .appid_kept = true,
    .class_key_rewritten = true,
    .toolbox_bitmap = 0,
    .property_pages = {},
    .create = &com::MakeControl<kittest::KitTestControl>,
};

using automation::Type;
namespace dual = com::dual;
using I = IKitDual;

const IKitDualVtbl kKitDualVtbl = {
    ZUB_DUAL_IDISPATCH_ENTRIES(I),
    dual::Get<I, kittest::kLevel, Type::kI2>,
    dual::Put<I, kittest::kLevel, Type::kI2>,
    dual::Get<I, kittest::kFlag, Type::kBool>,
    dual::Put<I, kittest::kFlag, Type::kBool>,
    dual::Get<I, kittest::kCount, Type::kUI4>,
    dual::Put<I, kittest::kCount, Type::kUI4>,
    dual::Get<I, automation::kDispidEnabled, Type::kBool>,
    dual::Put<I, automation::kDispidEnabled, Type::kBool>,
    dual::CallResult<I, kittest::kDescribe, Type::kText, Type::kI2, Type::kText>,
    dual::Call<I, kittest::kFireHere, Type::kI2>,
    dual::Call<I, kittest::kFireFromThread, Type::kI2>,
};

const com::ControlClass kKitDualClass = {
    .clsid = &CLSID_KitDual,
    .progid = nullptr,
    .version_independent_progid = nullptr,
    .description = L"KitDual Class",
    .libid = &LIBID_ZubKitTestLib,
    .typelib_version = L"1.0",
    .default_iid = &IID_IKitDual,
    .kind = com::InterfaceKind::kDual,
    .dual_vtbl = &kKitDualVtbl,
    .events_iid = &DIID_DKitTestEvents,
    .misc_status = OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST,
    .appid = nullptr,
    .appid_name = nullptr,
    .appid_module_key = nullptr,
    .appid_kept = false,
    .class_key_rewritten = false,
    .toolbox_bitmap = 0,
    .property_pages = {},
    .create = &com::MakeControl<kittest::KitTestControl>,
};

const com::ControlClass* const kClasses[] = {&kKitTestClass, &kKitDualClass};

}  // namespace

std::span<const com::ControlClass* const> com::ModuleClasses() { return kClasses; }
