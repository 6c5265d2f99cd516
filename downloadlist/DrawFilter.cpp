// The Download grid's draw filter: a Status cell that holds a bare number is
// a progress cell, painted by the program as a bar; every other element is
// left to the grid.
#include <exception>

#include "downloadlist/DownloadGridView.h"
#include "downloadlist/modGrid.h"

namespace mf {
namespace {

constexpr wchar_t kStatusKey[] = L"Status";

// The percentage of a progress cell; none for every other cell. A failure
// to read the cell leaves it to the grid.
std::optional<int32_t> ProgressOf(const grid::UIElement* cellElement) {
  if (!cellElement || !cellElement->cell) return std::nullopt;
  try {
    const grid::Cell& cell = *cellElement->cell;
    if (cell.Column().Key() != kStatusKey) return std::nullopt;
    return modGrid::NumericValue(cell.Value());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void DownloadGridView::BeforeDrawBackground(const grid::DrawInfo& info, bool& cancel) {
  if (info.element.type != grid::kElementCell) return;
  std::optional<int32_t> percent = ProgressOf(&info.element);
  if (!percent) return;
  modGrid::DrawProgressCell(info, *percent, grid::SystemColour(COLOR_HIGHLIGHT),
                            grid::SystemColour(COLOR_HIGHLIGHTTEXT), true);
  cancel = true;
}

void DownloadGridView::BeforeDrawForeground(const grid::DrawInfo& info, bool& cancel) {
  // The bar carries its own text; the grid's would be drawn over it.
  if (ProgressOf(info.element.Find(grid::kElementCell))) cancel = true;
}

// The other four leave the grid's drawing as it is.
void DownloadGridView::BeforeDraw(const grid::DrawInfo&, bool&) {}
void DownloadGridView::BeforeDrawBorders(const grid::DrawInfo&, bool&) {}
void DownloadGridView::AfterDraw(const grid::DrawInfo&) {}
void DownloadGridView::BeforeSetCursor(const grid::UIElement&, HCURSOR&) {}

}  // namespace mf
