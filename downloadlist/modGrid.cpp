#include "downloadlist/modGrid.h"

#include <ole2.h>
#include <olectl.h>

#include <cmath>
#include <cwchar>
#include <string>

#include "common/Handles.h"

namespace mf::modGrid {
namespace {

// Puts back the pen, brush, raster mode, text colour and background mode
// that the DC had when the object was made.
class SavedDcState {
 public:
  explicit SavedDcState(HDC dc)
      : dc_(dc),
        pen_(GetCurrentObject(dc, OBJ_PEN)),
        brush_(GetCurrentObject(dc, OBJ_BRUSH)),
        rop_(GetROP2(dc)),
        text_(GetTextColor(dc)),
        bkMode_(GetBkMode(dc)) {}
  SavedDcState(const SavedDcState&) = delete;
  SavedDcState& operator=(const SavedDcState&) = delete;
  ~SavedDcState() {
    SelectObject(dc_, pen_);
    SelectObject(dc_, brush_);
    SetROP2(dc_, rop_);
    SetTextColor(dc_, text_);
    SetBkMode(dc_, bkMode_);
  }

 private:
  HDC dc_;
  HGDIOBJ pen_, brush_;
  int rop_;
  COLORREF text_;
  int bkMode_;
};

}  // namespace

COLORREF TranslateColor(grid::Colour colour) {
  COLORREF rgb = 0;
  return SUCCEEDED(OleTranslateColor(colour, nullptr, &rgb)) ? rgb : RGB(0, 0, 0);
}

bool IsCellSelected(const grid::Cell& cell) {
  return cell.Selected() || cell.Column().Selected() || cell.Row().Selected();
}

std::optional<int32_t> NumericValue(const table::Value& value) {
  if (const auto* n = std::get_if<int32_t>(&value)) return *n;
  const auto* text = std::get_if<std::wstring>(&value);
  if (!text) return std::nullopt;
  // Digits with an optional sign, decimal point and exponent, blanks around.
  size_t first = text->find_first_not_of(L' '), last = text->find_last_not_of(L' ');
  if (first == std::wstring::npos) return std::nullopt;
  std::wstring number = text->substr(first, last - first + 1);
  if (number.find_first_not_of(L"0123456789+-.eE") != std::wstring::npos) return std::nullopt;
  wchar_t* end = nullptr;
  double d = std::wcstod(number.c_str(), &end);
  if (!end || *end != 0 || !std::isfinite(d)) return std::nullopt;
  double rounded = std::nearbyint(d);  // the default rounding mode: halves to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(rounded);
}

void DrawProgressCell(const grid::DrawInfo& info, int32_t value, grid::Colour barColour,
                      grid::Colour backColour, bool drawText) {
  HDC dc = info.dc;
  const RECT cellRect = info.element.rect;
  const int32_t percent = MinOf(MaxOf(value, 0), 100);
  const std::string text = std::to_string(percent) + "%";

  COLORREF bar = TranslateColor(barColour), back = TranslateColor(backColour);
  bool selected = false;
  if (info.element.cell && IsCellSelected(*info.element.cell)) {
    grid::CellColours own = info.element.cell->ResolvedAppearance();
    bar = TranslateColor(own.back);
    back = TranslateColor(own.fore);
    selected = true;
  }

  UniqueGdiObject backBrush(CreateSolidBrush(back));
  UniqueGdiObject barBrush(CreateSolidBrush(bar));
  UniqueGdiObject pen(CreatePen(PS_NULL, 1, 0));
  SavedDcState saved(dc);  // restored before the objects above are deleted
  SelectObject(dc, pen.get());

  RECT area = cellRect;
  area.bottom += 1;
  FillRect(dc, &area, static_cast<HBRUSH>(backBrush.get()));
  if (drawText) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, bar);
    RECT textRect = cellRect;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

  SelectObject(dc, barBrush.get());
  if (!selected)
    area.right = area.left + static_cast<LONG>(std::nearbyint(
                                 percent / 100.0 * static_cast<double>(area.right - area.left)));
  // Two not-xor passes turn every pixel p of the bar into bar ^ back ^ p:
  // the background there becomes the bar colour, text drawn in the bar
  // colour becomes the background colour. With a null pen Rectangle leaves
  // out the right and bottom edge, hence the one pixel more on each.
  SetROP2(dc, R2_NOTXORPEN);
  Rectangle(dc, area.left, area.top, area.right + 1, area.bottom);
  SelectObject(dc, backBrush.get());
  Rectangle(dc, area.left, area.top, area.right + 1, area.bottom);
}

}  // namespace mf::modGrid
