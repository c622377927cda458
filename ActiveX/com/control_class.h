// What a deliverable tells the kit about one of its control classes. The kit's generic control
// object, its class factory and its registration rows are all made from this; a deliverable
// writes no registry table and no OLE interface of its own.
#pragma once

#include "com/win.h"

#include <memory>
#include <span>

#include "automation/members.h"

namespace com {

// How the default interface reaches the control: a dual interface has a vtable of its own (the
// seven IDispatch methods, then one function per accessor in the IDL's order); a dispinterface
// is reached through IDispatch::Invoke alone.
enum class InterfaceKind { kDual, kDispinterface };

// Makes an object of a class that is not a control (a property page), instead of the kit's
// control object; outer is null or the aggregating object (then iid is IID_IUnknown).
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

struct ControlClass {
  const CLSID* clsid;
  const wchar_t* progid;                      // versioned: "Oru_cam.CamCtl.1"; null: no ProgID keys
  const wchar_t* version_independent_progid;  // "Oru_cam.CamCtl"; null: none
  const wchar_t* description;                 // the ProgID and class keys' default value
  const GUID* libid;                          // the module's type library; null: no TypeLib keys
  const wchar_t* typelib_version;             // "1.0"
  const IID* default_iid;                     // null: no control (no Control or MiscStatus keys)
  InterfaceKind kind;
  const void* dual_vtbl;                      // kDual: the default interface's vtable (com/dual.h)
  const IID* events_iid;                      // the default source interface; a control has one
  DWORD misc_status;                          // OLEMISC_* bits, also written as MiscStatus\1
  const wchar_t* appid;                       // "{...}"; null: no AppID entries
  const wchar_t* appid_name;                  // the AppID key's default value
  const wchar_t* appid_module_key;            // "Oru_cam.DLL": AppID\<this> names the AppID
  bool appid_kept;                            // unregistration leaves AppID\{...} in place
  bool class_key_rewritten;                   // registration deletes the class key first
  int toolbox_bitmap;                         // resource id for ToolboxBitmap32; 0: none
  std::span<const CLSID* const> property_pages;
  // The portable control; a new one per COM object.
  std::unique_ptr<automation::Control> (*create)();
  CreateInstanceFn create_instance = nullptr;  // set only for a class that is no control
};

// The status of a windowed control that draws its content itself and wants its client site
// before anything else (131473): recompose on resize, cannot link inside, inside-out, activate
// when visible, set client site first.
inline constexpr DWORD kWindowedControlMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                                    OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                                    OLEMISC_SETCLIENTSITEFIRST;
static_assert(kWindowedControlMiscStatus == 131473);

// A descriptor's create for a control class C.
template <class C> std::unique_ptr<automation::Control> MakeControl() { return std::make_unique<C>(); }

}  // namespace com
