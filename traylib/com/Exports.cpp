// The entry points of a self-registering in-process server. There is no
// DllMain of ours: nothing needs doing under the loader lock (the module
// handle comes from the image itself, traylib/Library.h), and thread
// notifications stay on for the runtime's per-thread clean-up.
#include <windows.h>
#include <objbase.h>

#include "traylib/com/ClassFactory.h"
#include "traylib/com/Module.h"
#include "traylib/com/Registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return sd::GetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return sd::module::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return sd::RegisterServer(); }

STDAPI DllUnregisterServer() { return sd::UnregisterServer(); }

// regsvr32 /i:user (with /n, alone) registers for the current user only.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
  return sd::InstallServer(install != FALSE, commandLine);
}
