// Scrolling the Download grid one row at a time, for the main window's
// mouse-wheel hook.
#include "downloadlist/DownloadGridView.h"

namespace mf {

bool DownloadGridView::IsGridActive() const {
  // The grid's edit box belongs to the grid.
  HWND focus = GetFocus();
  HWND grid = DownloadGrid.Hwnd();
  return grid && focus && (focus == grid || IsChild(grid, focus));
}

void DownloadGridView::ScrollUp() {
  if (!IsGridActive()) return;
  try {
    DownloadGrid.Scroll(0, grid::RowScrollAction::LineDown);
  } catch (...) {  // errors here are ignored
  }
}

void DownloadGridView::ScrollDown() {
  if (!IsGridActive()) return;
  try {
    DownloadGrid.Scroll(0, grid::RowScrollAction::LineUp);
  } catch (...) {
  }
}

}  // namespace mf
