#include "com/module.h"

#include "com/control_window.h"
#include "com/typelib.h"

namespace com {

namespace {
HINSTANCE g_instance = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
}  // namespace

void OnDllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // At process exit (reserved set) oleaut32 may be gone already; leave the pointers alone then.
    ReleaseTypeInfos();
    UnregisterControlWindowClass();
  }
}

HINSTANCE ModuleInstance() {
  if (g_instance == nullptr) {
    // Not every user goes through OnDllMain (a test linking the kit into an exe).
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &g_instance);
  }
  return g_instance;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(ModuleInstance(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void ObjectCreated() { InterlockedIncrement(&g_objects); }
void ObjectDestroyed() { InterlockedDecrement(&g_objects); }

void LockModule(bool lock) {
  if (lock) {
    InterlockedIncrement(&g_locks);
  } else {
    InterlockedDecrement(&g_locks);
  }
}

HRESULT CanUnloadNow() {
  return (InterlockedCompareExchange(&g_objects, 0, 0) == 0 &&
          InterlockedCompareExchange(&g_locks, 0, 0) == 0)
             ? S_OK
             : S_FALSE;
}

}  // namespace com
