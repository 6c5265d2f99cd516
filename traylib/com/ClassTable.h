#pragma once
// The classes the library serves: one table that the class factory and the
// registration both read.
#include <windows.h>

#include <span>

#include "traylib/com/ControlInfo.h"

namespace sd {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct ClassEntry {
  const ControlInfo& control;
  CreateFunction create;
  const wchar_t* progId;
  const wchar_t* name;  // what a container shows for the class
  int toolboxBitmap;    // resource id of the 16 x 15 toolbox picture
};

// Defined with the controls, in Classes.cpp.
std::span<const ClassEntry> Classes() noexcept;
const ClassEntry* FindClass(REFCLSID clsid) noexcept;

}  // namespace sd
