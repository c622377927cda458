// The ZubAudioR DLL's entry points: its one creatable class and its registration entries.
#include "com/win.h"

#include "ZubAudioR.h"
#include "ZubAudioR/ReceiveAudioCom.h"
#include "com/class_factory.h"
#include "com/module.h"
#include "com/registration.h"

namespace {

#define ZUBR_CLSID L"{9EEF4D65-E902-4FDF-9C97-F813447AB8C0}"
#define ZUBR_APPID L"{53420B31-8377-4198-9C6A-1FD03C884A5F}"
#define ZUBR_LIBID L"{AD791794-CA9D-4D94-B229-A6A17293060D}"
#define ZUBR_PROGID L"Zu_R_Audio.ReceiveAudio.1"
#define ZUBR_VIPROGID L"Zu_R_Audio.ReceiveAudio"
#define ZUBR_CLASS_KEY L"CLSID\\" ZUBR_CLSID

const com::ClassEntry kClasses[] = {{&CLSID_ReceiveAudio, &zubr::CreateReceiveAudio}};

const com::RegistryValue kRegistry[] = {
    {L"AppID\\" ZUBR_APPID, nullptr, L"Zub_R_Audio", true},
    {L"AppID\\Zu_R_Audio.DLL", L"AppID", ZUBR_APPID, true},
    {ZUBR_PROGID, nullptr, L"ReceiveAudio Class", true},
    {ZUBR_PROGID L"\\CLSID", nullptr, ZUBR_CLSID, false},
    {ZUBR_VIPROGID, nullptr, L"ReceiveAudio Class", true},
    {ZUBR_VIPROGID L"\\CLSID", nullptr, ZUBR_CLSID, false},
    {ZUBR_VIPROGID L"\\CurVer", nullptr, ZUBR_PROGID, false},
    {ZUBR_CLASS_KEY, nullptr, L"ReceiveAudio Class", true},
    {ZUBR_CLASS_KEY L"\\ProgID", nullptr, ZUBR_PROGID, false},
    {ZUBR_CLASS_KEY L"\\VersionIndependentProgID", nullptr, ZUBR_VIPROGID, false},
    {ZUBR_CLASS_KEY L"\\Programmable", nullptr, nullptr, false},
    {ZUBR_CLASS_KEY L"\\InprocServer32", nullptr, L"%MODULE%", false},
    {ZUBR_CLASS_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment", false},
    {ZUBR_CLASS_KEY, L"AppID", ZUBR_APPID, false},
    {ZUBR_CLASS_KEY L"\\Control", nullptr, nullptr, false},
    {ZUBR_CLASS_KEY L"\\ToolboxBitmap32", nullptr, L"%MODULE%, 102", false},
    {ZUBR_CLASS_KEY L"\\MiscStatus", nullptr, L"0", false},
    {ZUBR_CLASS_KEY L"\\MiscStatus\\1", nullptr, L"131473", false},
    {ZUBR_CLASS_KEY L"\\TypeLib", nullptr, ZUBR_LIBID, false},
    {ZUBR_CLASS_KEY L"\\Version", nullptr, L"1.0", false},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  com::OnDllMain(instance, reason, reserved);
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return com::GetClassObject(kClasses, clsid, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return com::CanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return com::RegisterServer(kRegistry); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return com::UnregisterServer(kRegistry); }
