#pragma once
// One class factory for every class of the table; DllGetClassObject hands
// out a new one per request so each counts as a live object of the library.
#include <windows.h>

namespace sd {

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept;

}  // namespace sd
