// The classes of the library.
#include <algorithm>

#include "traylib/com/ClassTable.h"
#include "traylib/com/DualControl.h"
#include "traylib/tooltip/ToolTipOnDemandControl.h"
#include "traylib/trayicon/TrayIconControl.h"

namespace sd {
namespace {

const ClassEntry kClasses[] = {
    {TrayIconControl::kInfo, CreateControl<TrayIconControl>, L"Quenbrook.TrayIcon", L"TrayIcon",
     30000},
    {ToolTipOnDemandControl::kInfo, CreateControl<ToolTipOnDemandControl>,
     L"Quenbrook.ToolTipOnDemand", L"ToolTipOnDemand", 30001},
};

}  // namespace

std::span<const ClassEntry> Classes() noexcept { return kClasses; }

const ClassEntry* FindClass(REFCLSID clsid) noexcept {
  auto found = std::find_if(std::begin(kClasses), std::end(kClasses),
                            [&](const ClassEntry& entry) { return *entry.control.clsid == clsid; });
  return found == std::end(kClasses) ? nullptr : &*found;
}

}  // namespace sd
