// Self-registration under HKEY_CLASSES_ROOT, plus the module's type library. The rows are made
// from the classes' descriptors (RegistryEntriesOf), never written by hand.
//
// A row names a key, a value name (null: the key's default value) and a string value in which
// "%MODULE%" stands for this DLL's full path (has_value false: the key alone). A row marked
// owned says the key and all below it belong to this DLL: unregistration deletes exactly those
// trees, so shared parents such as CLSID and AppID stay. A row marked rewritten has its tree
// deleted before registration writes anything. Both run with the thread locale set to the
// system default (the type library's help strings are decoded in it) and restore the caller's
// afterwards.
#pragma once

#include "com/win.h"

#include <span>
#include <string>
#include <vector>

#include "com/control_class.h"

namespace com {

struct RegistryEntry {
  std::wstring key;
  const wchar_t* name;
  std::wstring value;
  bool has_value;
  bool owned;
  bool rewritten;
};

// A class's rows, in the order they are written:
//   AppID\{appid} = appid_name (owned unless appid_kept), AppID\<module key> AppID = {appid}
//   <progid> = description, \CLSID; <vi progid> = description, \CLSID, \CurVer (when named)
//   CLSID\{clsid} = description (owned; rewritten when class_key_rewritten), its ProgID,
//   VersionIndependentProgID, Programmable, InprocServer32 (+ ThreadingModel Apartment), AppID,
//   Control, ToolboxBitmap32, MiscStatus (+ \1), TypeLib, Version
// A class without a default interface is no control: it gets no Programmable, Control or
// MiscStatus keys (a property page).
std::vector<RegistryEntry> RegistryEntriesOf(const ControlClass& cls);

// On failure the entries already written are removed again.
HRESULT RegisterServer(std::span<const RegistryEntry> entries);
HRESULT UnregisterServer(std::span<const RegistryEntry> entries);

}  // namespace com
