#include "com/registration.h"

#include <string>
#include <string_view>

#include "com/module.h"
#include "com/typelib.h"

namespace com {

namespace {

class SystemThreadLocale {
 public:
  SystemThreadLocale() : saved_(GetThreadLocale()) { SetThreadLocale(GetSystemDefaultLCID()); }
  ~SystemThreadLocale() { SetThreadLocale(saved_); }
  SystemThreadLocale(const SystemThreadLocale&) = delete;
  SystemThreadLocale& operator=(const SystemThreadLocale&) = delete;

 private:
  LCID saved_;
};

std::wstring Expand(const std::wstring& text, const std::wstring& module) {
  static constexpr std::wstring_view kModule = L"%MODULE%";
  std::wstring s(text);
  for (std::size_t at = s.find(kModule); at != std::wstring::npos;
       at = s.find(kModule, at + module.size())) {
    s.replace(at, kModule.size(), module);
  }
  return s;
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[39] = {};
  StringFromGUID2(guid, text, 39);
  return text;
}

HRESULT WriteValue(const RegistryEntry& row, const std::wstring& module) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, row.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (!row.has_value) {
    RegCloseKey(key);
    return S_OK;
  }
  const std::wstring value = Expand(row.value, module);
  status = RegSetValueExW(key, row.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteKeys(std::span<const RegistryEntry> values, bool RegistryEntry::*which) {
  HRESULT result = S_OK;
  for (const RegistryEntry& row : values) {
    if (!(row.*which)) continue;
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, row.key.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && SUCCEEDED(result)) {
      result = HRESULT_FROM_WIN32(status);
    }
  }
  return result;
}

}  // namespace

std::vector<RegistryEntry> RegistryEntriesOf(const ControlClass& cls) {
  std::vector<RegistryEntry> rows;
  auto add = [&rows](std::wstring key, const wchar_t* name, const wchar_t* value, bool owned = false) {
    rows.push_back({std::move(key), name, value != nullptr ? value : L"", value != nullptr, owned, false});
  };
  const std::wstring clsid = GuidText(*cls.clsid);
  const std::wstring class_key = L"CLSID\\" + clsid;
  const bool control = cls.default_iid != nullptr;
  if (cls.appid != nullptr) {
    add(std::wstring(L"AppID\\") + cls.appid, nullptr, cls.appid_name, !cls.appid_kept);
    if (cls.appid_module_key != nullptr) add(std::wstring(L"AppID\\") + cls.appid_module_key, L"AppID", cls.appid, true);
  }
  if (cls.progid != nullptr) {
    add(cls.progid, nullptr, cls.description, true);
    add(std::wstring(cls.progid) + L"\\CLSID", nullptr, clsid.c_str());
  }
  if (cls.version_independent_progid != nullptr) {
    add(cls.version_independent_progid, nullptr, cls.description, true);
    add(std::wstring(cls.version_independent_progid) + L"\\CLSID", nullptr, clsid.c_str());
    if (cls.progid != nullptr) add(std::wstring(cls.version_independent_progid) + L"\\CurVer", nullptr, cls.progid);
  }
  add(class_key, nullptr, cls.description, true);
  rows.back().rewritten = cls.class_key_rewritten;
  if (cls.progid != nullptr) add(class_key + L"\\ProgID", nullptr, cls.progid);
  if (cls.version_independent_progid != nullptr)
    add(class_key + L"\\VersionIndependentProgID", nullptr, cls.version_independent_progid);
  if (control) add(class_key + L"\\Programmable", nullptr, nullptr);
  add(class_key + L"\\InprocServer32", nullptr, L"%MODULE%");
  add(class_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  if (cls.appid != nullptr) add(class_key, L"AppID", cls.appid);
  if (control) add(class_key + L"\\Control", nullptr, nullptr);
  if (cls.toolbox_bitmap != 0)
    add(class_key + L"\\ToolboxBitmap32", nullptr, (L"%MODULE%, " + std::to_wstring(cls.toolbox_bitmap)).c_str());
  if (control) {
    add(class_key + L"\\MiscStatus", nullptr, L"0");
    add(class_key + L"\\MiscStatus\\1", nullptr, std::to_wstring(cls.misc_status).c_str());
  }
  if (cls.libid != nullptr) {
    add(class_key + L"\\TypeLib", nullptr, GuidText(*cls.libid).c_str());
    add(class_key + L"\\Version", nullptr, cls.typelib_version);
  }
  return rows;
}

HRESULT RegisterServer(std::span<const RegistryEntry> values) {
  SystemThreadLocale locale;
  const std::wstring module = ModulePath();
  if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT hr = DeleteKeys(values, &RegistryEntry::rewritten);
  for (const RegistryEntry& row : values) {
    if (FAILED(hr)) break;
    hr = WriteValue(row, module);
  }
  if (SUCCEEDED(hr)) hr = RegisterModuleTypeLib();
  if (FAILED(hr)) {
    UnregisterModuleTypeLib();
    DeleteKeys(values, &RegistryEntry::owned);
    return hr;
  }
  return S_OK;
}

HRESULT UnregisterServer(std::span<const RegistryEntry> values) {
  SystemThreadLocale locale;
  const HRESULT typelib = UnregisterModuleTypeLib();
  const HRESULT keys = DeleteKeys(values, &RegistryEntry::owned);
  return FAILED(typelib) ? typelib : keys;
}

}  // namespace com
