// The exports every control DLL has, over the classes its deliverable lists in ModuleClasses().
// zub_com_dll compiles this file into each DLL, so the .def finds the functions in the DLL's own
// objects.
#include "com/server.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  com::OnDllMain(instance, reason, reserved);
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return com::GetClassObject(com::ModuleClasses(), clsid, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return com::CanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return com::RegisterClasses(com::ModuleClasses()); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return com::UnregisterClasses(com::ModuleClasses()); }
