#include "com/registration.h"

#include <string>

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

std::wstring Expand(const wchar_t* text, const std::wstring& module) {
  static constexpr std::wstring_view kModule = L"%MODULE%";
  std::wstring s(text);
  for (std::size_t at = s.find(kModule); at != std::wstring::npos;
       at = s.find(kModule, at + module.size())) {
    s.replace(at, kModule.size(), module);
  }
  return s;
}

HRESULT WriteValue(const RegistryValue& row, const std::wstring& module) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, row.key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  if (row.value == nullptr) {
    RegCloseKey(key);
    return S_OK;
  }
  const std::wstring value = Expand(row.value, module);
  status = RegSetValueExW(key, row.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteOwnedKeys(std::span<const RegistryValue> values) {
  HRESULT result = S_OK;
  for (const RegistryValue& row : values) {
    if (!row.owned) continue;
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, row.key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && SUCCEEDED(result)) {
      result = HRESULT_FROM_WIN32(status);
    }
  }
  return result;
}

}  // namespace

HRESULT RegisterServer(std::span<const RegistryValue> values) {
  SystemThreadLocale locale;
  const std::wstring module = ModulePath();
  if (module.empty()) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT hr = S_OK;
  for (const RegistryValue& row : values) {
    hr = WriteValue(row, module);
    if (FAILED(hr)) break;
  }
  if (SUCCEEDED(hr)) hr = RegisterModuleTypeLib();
  if (FAILED(hr)) {
    UnregisterModuleTypeLib();
    DeleteOwnedKeys(values);
    return hr;
  }
  return S_OK;
}

HRESULT UnregisterServer(std::span<const RegistryValue> values) {
  SystemThreadLocale locale;
  const HRESULT typelib = UnregisterModuleTypeLib();
  const HRESULT keys = DeleteOwnedKeys(values);
  return FAILED(typelib) ? typelib : keys;
}

}  // namespace com
