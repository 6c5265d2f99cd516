// The Download grid on the main window: its creation, its binding to the
// list's table, its layout, and the grid's notifications.
#include <algorithm>
#include <exception>
#include <iterator>

#include "downloadlist/DownloadGridView.h"
#include "downloadlist/FileText.h"

namespace mf {
namespace {

struct ColumnFormat {
  const wchar_t* caption;
  int widthTwips;  // the least width; see LayoutWidth for the address and size
  bool editable;
};
// By column position: ID, Video_URL, FileName, Status, FileSize.
constexpr ColumnFormat kColumns[] = {
    {L" ", 300, false},
    {L"Video URL", 1500, false},
    {L"Local File Name", 1800, true},
    {L"Download Status", 1700, false},
    {L"File Size", 750, false},
};
// The widest size text below a gigabyte: the size column shows it whole.
constexpr float kWidestSize = 1023.9f * 1048576.0f;

constexpr grid::Colour kGridBack = RGB(201, 211, 216);
constexpr grid::Colour kGridBorder = RGB(39, 104, 146);

struct AppearanceSet {
  grid::BandPart part;
  grid::Appearance look;
};
// The band's default appearances, applied in this order (sets 1 to 5).
const AppearanceSet kAppearanceSets[] = {
    {grid::BandPart::RowSelector, {RGB(60, 117, 157), std::nullopt}},
    {grid::BandPart::Header, {RGB(60, 117, 157), RGB(255, 255, 255)}},
    {grid::BandPart::Row, {RGB(255, 255, 255), std::nullopt}},
    {grid::BandPart::Selected, {RGB(0, 0, 0), RGB(255, 255, 255)}},
    {grid::BandPart::ActiveRow, {RGB(255, 199, 0), std::nullopt}},
};
// Under high contrast the system's colours stand in for each of them.
constexpr grid::Colour Sys(int index) { return grid::SystemColour(index); }
const AppearanceSet kSystemAppearanceSets[] = {
    {grid::BandPart::RowSelector, {Sys(COLOR_BTNFACE), Sys(COLOR_BTNTEXT)}},
    {grid::BandPart::Header, {Sys(COLOR_BTNFACE), Sys(COLOR_BTNTEXT)}},
    {grid::BandPart::Row, {Sys(COLOR_WINDOW), Sys(COLOR_WINDOWTEXT)}},
    {grid::BandPart::Selected, {Sys(COLOR_HIGHLIGHT), Sys(COLOR_HIGHLIGHTTEXT)}},
    {grid::BandPart::ActiveRow, {Sys(COLOR_HOTLIGHT), Sys(COLOR_HIGHLIGHTTEXT)}},
};

// A layout step that fails is skipped and the next one runs.
template <typename Step>
void SkippingFailure(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
    // skipped on purpose: the layout goes on with its next step
  }
}

}  // namespace

DownloadGridView::DownloadGridView(DownloadList& list, IDownloadGridHost& host)
    : list_(list), host_(host) {}

DownloadGridView::~DownloadGridView() { list_.SetGrid(nullptr); }

bool DownloadGridView::Create(HWND parent, int id) {
  // Hidden behind the movie until the front end shows the download page;
  // the front end's set-up places and formats it.
  if (!DownloadGrid.Create({.parent = parent, .id = id, .visible = false, .events = this}))
    return false;
  // The main window's hook scrolls it one row per wheel message.
  DownloadGrid.SetWheelScrolls(false);
  // Its name and its rows' as assistive technology tells them.
  SetWindowTextW(DownloadGrid.Hwnd(), L"Download list");
  DownloadGrid.SetRowDescription(this);
  list_.SetGrid(this);
  return true;
}

bool DownloadGridView::FormatDownloadGrid(bool initial) {
  BindAndLayOut(initial);
  // The rows are new: the running item's row is found again.
  if (host_.IsDownloading())
    LocateCurrentRow();
  else
    CurrentRow.reset();
  return true;
}

void DownloadGridView::BindAndLayOut(bool initial) {
  if (GridFormatted) {
    try {
      DownloadGrid.SetDataSource(list_.ListRecordset());
    } catch (const std::exception&) {
      GridFormatted = false;  // the next rebuild lays the grid out fully
    }
    return;
  }
  SkippingFailure([&] { DownloadGrid.SetCaption(L""); });
  SkippingFailure([&] { DownloadGrid.SetDataSource(list_.ListRecordset()); });
  SkippingFailure([&] {
    for (size_t c = 0; c < std::size(kColumns); ++c)
      DownloadGrid.Columns(c).SetEditable(kColumns[c].editable);
  });
  SkippingFailure([&] {
    for (size_t c = 0; c < std::size(kColumns); ++c)
      DownloadGrid.Columns(c).SetCaption(kColumns[c].caption);
  });
  SkippingFailure([&] { DownloadGrid.SetRowSelectors(true); });
  SkippingFailure([&] {
    for (size_t c = 0; c < std::size(kColumns); ++c)
      DownloadGrid.Columns(c).SetWidth(LayoutWidth(c));
  });
  ApplyColours();
  if (!initial) GridFormatted = true;
}

void DownloadGridView::UseSystemColours(bool on) {
  systemColours_ = on;
  ApplyColours();
}

void DownloadGridView::ApplyColours() {
  SkippingFailure([&] {
    DownloadGrid.SetBackColor(systemColours_ ? Sys(COLOR_WINDOW) : kGridBack);
    DownloadGrid.SetBorderColor(systemColours_ ? Sys(COLOR_WINDOWTEXT) : kGridBorder);
  });
  SkippingFailure([&] {
    for (const AppearanceSet& set : systemColours_ ? kSystemAppearanceSets : kAppearanceSets)
      DownloadGrid.SetBandAppearance(set.part, set.look);
  });
}

int DownloadGridView::LayoutWidth(size_t column) {
  if (column < userWidths_.size() && userWidths_[column]) return *userWidths_[column];
  if (column == DownloadList::colFileSize)
    return std::max(kColumns[column].widthTwips,
                    DownloadGrid.CellTextTwips(FormatFileSize(kWidestSize)));
  if (column != DownloadList::colVideoURL) return kColumns[column].widthTwips;
  // The address takes what the other columns leave.
  int others = 0;
  for (size_t c = 0; c < std::size(kColumns); ++c)
    if (c != DownloadList::colVideoURL) others += LayoutWidth(c);
  return std::max(kColumns[column].widthTwips, DownloadGrid.ColumnRoomTwips() - others);
}

// Widths the user drags are kept for the session, also when an emptied list
// lays the grid out again.
void DownloadGridView::ColumnResized(const grid::Column& column) {
  if (userWidths_.size() <= column.Index()) userWidths_.resize(column.Index() + 1);
  userWidths_[column.Index()] = column.Width();
}

std::vector<int> DownloadGridView::UserColumnWidths() const {
  std::vector<int> twips;
  for (const std::optional<int>& w : userWidths_) twips.push_back(w.value_or(0));
  return twips;
}

void DownloadGridView::SetUserColumnWidths(const std::vector<int>& twips) {
  userWidths_.clear();
  for (size_t c = 0; c < twips.size() && c < std::size(kColumns); ++c)
    userWidths_.push_back(twips[c] > 0 ? std::optional<int>(twips[c]) : std::nullopt);
  SkippingFailure([&] {
    for (size_t c = 0; c < DownloadGrid.ColumnCount() && c < std::size(kColumns); ++c)
      DownloadGrid.Columns(c).SetWidth(LayoutWidth(c));
  });
}

void DownloadGridView::FitColumns() {
  const size_t address = DownloadList::colVideoURL;
  if (address < userWidths_.size() && userWidths_[address]) return;
  SkippingFailure([&] {
    if (address < DownloadGrid.ColumnCount())
      DownloadGrid.Columns(address).SetWidth(LayoutWidth(address));
  });
}

void DownloadGridView::UnbindListTable() {
  CurrentRow.reset();  // no rows are left to write into
  try {
    DownloadGrid.SetDataSource(nullptr);
  } catch (const std::exception&) {
    // a grid without a window shows nothing already
  }
}

void DownloadGridView::InitializeLayout(grid::Grid&) { DownloadGrid_InitializeLayout(); }

void DownloadGridView::BeforeCellUpdate(const grid::Cell& cell, const table::Value& newValue,
                                        bool& cancel) {
  DownloadGrid_BeforeCellUpdate(cell, newValue, cancel);
}

void DownloadGridView::AfterCellUpdate(const grid::Cell& cell) {
  DownloadGrid_AfterCellUpdate(cell);
}

void DownloadGridView::DownloadGrid_InitializeLayout() { DownloadGrid.SetDrawFilter(this); }

}  // namespace mf
