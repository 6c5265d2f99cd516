#include "controls/grid/GridAccess.h"

#include <algorithm>
#include <climits>

#include "controls/grid/Grid.h"

namespace mf::grid {
namespace {

// Fewer changed rows than this are announced one by one; more, as one
// change within the list (the number MSAA's guidance gives).
constexpr size_t kFewChanges = 20;

}  // namespace

// The rows as simple children: child n is row n - 1.
class GridAccessible final : public access::Accessible {
 public:
  explicit GridAccessible(Grid& grid) : Accessible(grid.Hwnd()), grid_(grid) {}

 protected:
  long ChildCount() override {
    return static_cast<long>(std::min<size_t>(grid_.RowCount(), LONG_MAX));
  }
  long SelfRole() override { return ROLE_SYSTEM_LIST; }
  long Role(long) override { return ROLE_SYSTEM_LISTITEM; }

  std::wstring Name(long child) override {
    const size_t row = static_cast<size_t>(child - 1);
    if (grid_.rowDescription_) return grid_.rowDescription_->RowName(row);
    std::wstring name;
    for (size_t c = 0; c < grid_.ColumnCount(); ++c)
      name += (c ? L", " : L"") + Cell(grid_.binding_, row, c).Text();
    return name;
  }

  std::optional<std::wstring> Value(long child) override {
    if (!grid_.rowDescription_) return std::nullopt;
    return grid_.rowDescription_->RowValue(static_cast<size_t>(child - 1));
  }

  long State(long child) override {
    const size_t row = static_cast<size_t>(child - 1);
    long state = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (grid_.InSelection(row)) state |= STATE_SYSTEM_SELECTED;
    if (GetFocus() == Hwnd() && FocusedChild() == child) state |= STATE_SYSTEM_FOCUSED;
    RECT client, frame = grid_.RowFrame(row);
    GetClientRect(Hwnd(), &client);
    if (frame.bottom <= grid_.DataTop() || frame.top >= client.bottom)
      state |= STATE_SYSTEM_OFFSCREEN;  // scrolled out of view
    if (!IsWindowVisible(Hwnd())) state |= STATE_SYSTEM_INVISIBLE;
    return state;
  }

  RECT Location(long child) override { return grid_.RowFrame(static_cast<size_t>(child - 1)); }

  long ChildAt(POINT at) override {
    Grid::Hit hit = grid_.HitTest(at);
    const bool onRow = hit.area == Grid::Hit::CellArea || hit.area == Grid::Hit::RowSelector;
    return onRow && hit.row < grid_.RowCount() ? static_cast<long>(hit.row + 1) : 0;
  }

  long FocusedChild() override {
    if (!grid_.active_ || grid_.active_->row >= grid_.RowCount()) return CHILDID_SELF;
    return static_cast<long>(grid_.active_->row + 1);
  }

  std::vector<long> SelectedChildren() override {
    std::vector<long> rows;
    for (size_t r = 0; r < grid_.RowCount(); ++r)
      if (grid_.InSelection(r)) rows.push_back(static_cast<long>(r + 1));
    return rows;
  }

  // As a list box does: take the focus, make the row the selection, or add
  // it to or take it from the selection.
  HRESULT Select(long child, long flags) override {
    const size_t row = static_cast<size_t>(child - 1);
    Binding& b = *grid_.binding_;
    if (flags & SELFLAG_TAKEFOCUS) {
      SetFocus(Hwnd());
      const size_t column = grid_.active_ ? grid_.active_->column : 0;
      grid_.SetActive({row, column});
      grid_.EnsureVisible(row, column);
    }
    if (flags & SELFLAG_TAKESELECTION) b.ClearSelection();
    if (flags & (SELFLAG_TAKESELECTION | SELFLAG_ADDSELECTION | SELFLAG_EXTENDSELECTION))
      b.SelectRow(row, true);
    if (flags & SELFLAG_REMOVESELECTION) {
      b.SelectRow(row, false);
      for (size_t c = 0; c < b.ColumnCount(); ++c) b.SelectCell(row, c, false);
    }
    InvalidateRect(Hwnd(), nullptr, FALSE);
    return S_OK;
  }

 private:
  Grid& grid_;
};

GridAccess::~GridAccess() { access::Release(object_); }

bool GridAccess::Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_GETOBJECT:
      if (!object_ && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT)
        object_ = new GridAccessible(grid_);
      result = access::AnswerGetObject(object_, wParam, lParam);
      return true;
    case kMsgAnnounce:
      Announce();
      result = 0;
      return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Changed();
      return false;
    case WM_DESTROY:
      access::Release(object_);
      return false;
    default:
      return false;
  }
}

void GridAccess::Changed() {
  if (pending_ || !grid_.Hwnd()) return;
  pending_ = PostMessageA(grid_.Hwnd(), kMsgAnnounce, 0, 0) != FALSE;
}

void GridAccess::Announce() {
  pending_ = false;
  const HWND hwnd = grid_.Hwnd();
  const size_t rows = grid_.RowCount();
  if (binding_.lock() != grid_.binding_) {
    // Other rows: what clients knew of the old ones no longer holds.
    access::Notify(EVENT_OBJECT_REORDER, hwnd, CHILDID_SELF);
    binding_ = grid_.binding_;
    selected_.clear();
    focused_ = -1;
  }
  std::vector<uint8_t> now(rows);
  for (size_t r = 0; r < rows; ++r) now[r] = grid_.InSelection(r) ? 1 : 0;
  AnnounceSelection(now);
  selected_ = std::move(now);
  // The focus after the selection, as list boxes announce them.
  long focused = -1;
  if (GetFocus() == hwnd)
    focused = grid_.active_ && grid_.active_->row < rows ? static_cast<long>(grid_.active_->row + 1)
                                                         : CHILDID_SELF;
  if (focused >= 0 && focused != focused_) access::Notify(EVENT_OBJECT_FOCUS, hwnd, focused);
  focused_ = focused;
}

void GridAccess::AnnounceSelection(const std::vector<uint8_t>& now) {
  std::vector<long> added, removed;
  for (size_t r = 0; r < std::max(now.size(), selected_.size()); ++r) {
    const bool is = r < now.size() && now[r], was = r < selected_.size() && selected_[r];
    if (is != was) (is ? added : removed).push_back(static_cast<long>(r + 1));
  }
  if (added.empty() && removed.empty()) return;
  const HWND hwnd = grid_.Hwnd();
  if (added.size() == 1 && std::count(now.begin(), now.end(), 1) == 1) {
    access::Notify(EVENT_OBJECT_SELECTION, hwnd, added.front());  // the selection is this row
  } else if (added.size() + removed.size() < kFewChanges) {
    for (long child : added) access::Notify(EVENT_OBJECT_SELECTIONADD, hwnd, child);
    for (long child : removed) access::Notify(EVENT_OBJECT_SELECTIONREMOVE, hwnd, child);
  } else {
    access::Notify(EVENT_OBJECT_SELECTIONWITHIN, hwnd, CHILDID_SELF);
  }
}

void Grid::OnSelectionChanged() { access_->Changed(); }

}  // namespace mf::grid
