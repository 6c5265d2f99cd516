#pragma once
// Where the main window was when Marrowfin ended: kept in the settings and
// given back at the next start, on a monitor that is still there.
#include <windows.h>

#include <optional>
#include <vector>

namespace mf {

struct KeptPlacement {
  RECT normal{};  // the restored window, in screen pixels
  bool maximized = false;
  int dpi = 96;  // of its monitor when kept
};

// The kept window as it may be shown on a monitor whose work area is
// `work`: left alone while a grip of its title strip (`grip` wide, `title`
// high) lies on it, otherwise made to fit the work area and moved into it.
RECT BringOntoWorkArea(const RECT& window, const RECT& work, int grip, int title);

// Stored under the settings key; none when nothing sane was kept.
std::optional<KeptPlacement> LoadPlacement();
void SavePlacement(const KeptPlacement& placement);

// The widths in twips the user gave the grid's columns, by position, 0 for
// a column left to the layout; empty when none were kept.
std::vector<int> LoadColumnWidths();
void SaveColumnWidths(const std::vector<int>& twips);

}  // namespace mf
