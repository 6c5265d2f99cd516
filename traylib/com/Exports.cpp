// The four entry points of a self-registering in-process server.
#include <windows.h>
#include <objbase.h>

#include "traylib/com/ClassFactory.h"
#include "traylib/com/Module.h"
#include "traylib/com/Registration.h"

// The loader lock is held here: nothing but remembering the module handle.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    sd::module::SetInstance(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return sd::GetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return sd::module::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return sd::RegisterServer(); }

STDAPI DllUnregisterServer() { return sd::UnregisterServer(); }
