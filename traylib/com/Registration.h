#pragma once
// Self-registration: the type library and, for every class of the table, the
// registry entries of an ActiveX control.
#include <windows.h>

namespace sd {

HRESULT RegisterServer() noexcept;
// Removes what RegisterServer writes; entries that are already gone count as removed.
HRESULT UnregisterServer() noexcept;

}  // namespace sd
