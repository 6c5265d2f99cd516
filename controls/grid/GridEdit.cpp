// In-place editing: an edit box over the active cell. Enter commits, Escape
// abandons, losing the focus commits. A commit asks the owner first
// (BeforeCellUpdate, which may cancel), writes the table, then tells the
// owner (AfterCellUpdate). Values the program writes raise neither.
#include <windows.h>

#include <commctrl.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>

#include "common/AppError.h"
#include "common/WindowText.h"
#include "controls/grid/Grid.h"

namespace mf::grid {
namespace {

constexpr UINT_PTR kEditSubclassId = 1;

// The typed text as a value of the column's type; false when it is not one.
bool ToColumnValue(const std::wstring& text, table::ColumnType type, table::Value* value) {
  if (type == table::ColumnType::VarChar) {
    *value = text;
    return true;
  }
  if (text.find_first_not_of(L' ') == std::wstring::npos) {
    *value = std::monostate{};
    return true;
  }
  wchar_t* end = nullptr;
  errno = 0;
  long long n = std::wcstoll(text.c_str(), &end, 10);
  while (end && *end == L' ') ++end;
  if (errno != 0 || !end || *end != 0 || n < INT32_MIN || n > INT32_MAX) return false;
  *value = static_cast<int32_t>(n);
  return true;
}

}  // namespace

bool Grid::BeginEdit() {
  if (edit_) return true;
  auto cell = ActiveCell();
  if (!cell || !cell->Column().Editable()) return false;
  EnsureVisible(cell->RowIndex(), cell->ColumnIndex());
  RECT r;
  if (!GetCellRect(*cell, &r)) return false;
  // A wide box: a file name in any script is edited as it is.
  HWND edit =
      CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, Hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!edit) return false;
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 2));
  const table::Column& column = binding_->table->Columns()[cell->ColumnIndex()];
  if (column.type == table::ColumnType::VarChar)
    SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(column.width), 0);
  SetText(edit, cell->Text());
  SetWindowSubclass(edit, &Grid::EditProc, kEditSubclassId, reinterpret_cast<DWORD_PTR>(this));
  edit_ = edit;
  editCell_ = cell;
  ShowWindow(edit, SW_SHOW);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  OnCellChanged(cell->RowIndex(), cell->ColumnIndex());
  return true;
}

LRESULT CALLBACK Grid::EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
  auto* self = reinterpret_cast<Grid*>(data);
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | DefSubclassProc(hwnd, msg, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        // The edit box may be gone when this returns; nothing touches it after.
        self->EndEdit(wParam == VK_RETURN);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r' || wParam == 0x1B) return 0;  // no beep for Enter and Escape
      break;
    case WM_KILLFOCUS:
      PostMessageA(self->Hwnd(), kMsgCommitEdit, reinterpret_cast<WPARAM>(hwnd), 0);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &Grid::EditProc, kEditSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void Grid::DestroyEdit() {
  HWND edit = std::exchange(edit_, nullptr);
  if (!edit) return;
  bool shown = editCell_ && editCell_->Row().Owner() == this;
  size_t row = shown ? editCell_->RowIndex() : 0, column = shown ? editCell_->ColumnIndex() : 0;
  editCell_.reset();
  bool hadFocus = GetFocus() == edit;
  DestroyWindow(edit);
  if (hadFocus && Hwnd()) SetFocus(Hwnd());
  if (shown) OnCellChanged(row, column);
}

void Grid::EndEdit(bool commit) {
  if (!edit_ || committing_) return;
  Cell cell = *editCell_;
  std::wstring text = GetText(edit_);
  bool written = false;
  if (commit && text != cell.Text()) {
    const table::Column& column = binding_->table->Columns()[cell.ColumnIndex()];
    table::Value value;
    if (!ToColumnValue(text, column.type, &value)) {
      MessageBeep(MB_OK);  // not a value of this column: the user goes on typing
      return;
    }
    bool cancel = false;
    committing_ = true;
    if (events_) events_->BeforeCellUpdate(cell, value, cancel);
    committing_ = false;
    if (!edit_ || !editCell_ || !(*editCell_ == cell)) return;  // the owner moved on meanwhile
    if (!cancel) {
      try {
        cell.SetValue(std::move(value));
        written = true;
      } catch (const AppError&) {
        MessageBeep(MB_OK);
        return;
      }
    }
  }
  DestroyEdit();
  if (written && events_) events_->AfterCellUpdate(cell);
}

void Grid::FinishEdit() {
  if (!edit_) return;
  EndEdit(true);
  if (edit_ && !committing_) DestroyEdit();
}

}  // namespace mf::grid
