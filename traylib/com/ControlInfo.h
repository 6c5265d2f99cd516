#pragma once
// What a control class tells the library about itself.
#include <windows.h>

namespace sd {

struct ControlInfo {
  const CLSID* clsid;
  const IID* defaultInterface;  // the dual interface that carries its properties
  const IID* eventInterface;    // the dispinterface its events go out on
  const char* label;            // the caption drawn in its square
  LONG sizeTwips;               // fixed width and height
  DWORD miscStatus;             // OLEMISC_* for the content aspect
};

// What every control of the library answers to IOleObject::GetMiscStatus.
constexpr DWORD kControlMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;

}  // namespace sd
