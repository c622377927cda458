// Self-registration from a table of registry values under HKEY_CLASSES_ROOT, plus the module's
// type library.
//
// Each row names a key, a value name (null: the key's default value) and a string value in
// which "%MODULE%" stands for this DLL's full path (null: the key alone, with no value). A row marked owned says the key and all
// below it belong to this DLL: unregistration deletes exactly those trees, so shared parents
// such as CLSID and AppID stay. Both run with the thread locale set to the system default (the
// type library's help strings are decoded in it) and restore the caller's afterwards.
#pragma once

#include "com/win.h"

#include <span>

namespace com {

struct RegistryValue {
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* value;
  bool owned;
};

// On failure the entries already written are removed again.
HRESULT RegisterServer(std::span<const RegistryValue> values);
HRESULT UnregisterServer(std::span<const RegistryValue> values);

}  // namespace com
