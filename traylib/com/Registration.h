#pragma once
// Self-registration: the type library and, for every class of the table, the
// registry entries of an ActiveX control.
#include <windows.h>

namespace sd {

// Who a registration serves: every user of the computer (the classes under
// HKEY_LOCAL_MACHINE, which need administrator rights) or the current user
// alone (HKEY_CURRENT_USER\Software\Classes, which Windows reads first).
enum class RegistrationKind { kMachine, kUser };

HRESULT RegisterServer(RegistrationKind kind = RegistrationKind::kMachine) noexcept;
// Removes what RegisterServer writes; entries that are already gone count as removed.
HRESULT UnregisterServer(RegistrationKind kind = RegistrationKind::kMachine) noexcept;
// DllInstall: `commandLine` names the kind, "user" or "machine" (none is
// "machine"); any other text is refused with E_INVALIDARG.
HRESULT InstallServer(bool install, const wchar_t* commandLine) noexcept;

}  // namespace sd
