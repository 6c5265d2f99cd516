#include "controls/player/MoviePainter.h"

#include <algorithm>
#include <cmath>

#include "common/Dpi.h"
#include "common/Handles.h"

namespace mf::movie {

namespace {

constexpr uint32_t kInk = 0x1F2D36;    // text when the movie names no colour
constexpr uint32_t kFace = 0xE4EAEE;   // a button's face by default
constexpr uint32_t kFrame = 0x9AAAB4;  // frames by default
constexpr uint32_t kPaper = 0xFFFFFF;
constexpr int kGlyphSize = 16;  // lengths at 96 DPI
constexpr int kGlyphGap = 7;
constexpr int kCaptionPad = 10;
constexpr int kTickBox = 16;
constexpr int kTickGap = 8;
constexpr int kTabMark = 3;

void DrawGlyphScaled(HDC dc, Glyph glyph, const RECT& r, COLORREF color, double scale);

// What a button, tab, field or tick box looks like when the movie names no look.
const LookDef& DefaultLook() {
  static const LookDef look = [] {
    LookDef k;
    k.radius = 3;
    k.mark = 0x276892;
    auto set = [&](LookState s, uint32_t fill, uint32_t text, uint32_t border) {
      k.states[static_cast<int>(s)] = {fill, text, border};
    };
    set(LookState::Normal, kFace, kInk, kFrame);
    set(LookState::Hover, 0xD3DEE5, kInk, 0x6F8796);
    set(LookState::Down, 0xBCCBD5, kInk, 0x4F6878);
    set(LookState::Off, 0xEEF1F3, 0x9AA8B2, 0xC8D1D7);
    set(LookState::On, 0xD0E1EC, kInk, 0x276892);
    return k;
  }();
  return look;
}

LookState StateOf(const ElementLook& s, bool usesOn) {
  if (s.disabled) return LookState::Off;
  if (s.down) return LookState::Down;
  if (usesOn && (s.on || s.focused)) return LookState::On;
  if (s.hover) return LookState::Hover;
  return LookState::Normal;
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void Polyline3(HDC dc, int x1, int y1, int x2, int y2, int x3, int y3) {
  POINT p[] = {{x1, y1}, {x2, y2}, {x3, y3}};
  Polyline(dc, p, 3);
}

void DrawTextIn(HDC dc, const std::wstring& text, RECT r, UINT flags, int underline = -1) {
  if (underline < 0 || static_cast<size_t>(underline) >= text.size()) {
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_NOPREFIX);
    return;
  }
  // The access key's letter: DrawText underlines the one after a '&'.
  std::wstring marked;
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<int>(i) == underline) marked += L'&';
    marked += text[i];
    if (text[i] == L'&') marked += L'&';
  }
  DrawTextW(dc, marked.c_str(), static_cast<int>(marked.size()), &r, flags);
}

SIZE MeasureText(HDC dc, const std::wstring& text) {
  SIZE s{0, 0};
  if (!text.empty()) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s);
  return s;
}

// A glyph and a caption side by side, centred (or aligned) in the rectangle.
void DrawCaption(HDC dc, const ElementDef& e, RECT r, const std::wstring& text, COLORREF ink,
                 int dpi, int underline) {
  SetTextColor(dc, ink);
  SetBkMode(dc, TRANSPARENT);
  const int glyphSize = ScaleFor(kGlyphSize, dpi);
  int textWidth = MeasureText(dc, text).cx;
  int glyphWidth =
      e.glyph == Glyph::None ? 0 : glyphSize + (text.empty() ? 0 : ScaleFor(kGlyphGap, dpi));
  int total = textWidth + glyphWidth;
  const int pad = ScaleFor(kCaptionPad, dpi);
  int left = e.align == Align::Left    ? r.left + pad
             : e.align == Align::Right ? r.right - pad - total
                                       : (r.left + r.right - total) / 2;
  if (e.glyph != Glyph::None) {
    int top = (r.top + r.bottom - glyphSize) / 2;
    DrawGlyphScaled(dc, e.glyph, {left, top, left + glyphSize, top + glyphSize}, ink, dpi / 96.0);
  }
  if (!text.empty()) {
    RECT tr{left + glyphWidth, r.top, r.right - (e.align == Align::Right ? pad : 0), r.bottom};
    if (tr.right < tr.left + textWidth) tr.right = r.right;
    DrawTextIn(dc, text, tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, underline);
  }
}

// Glyphs are drawn for 16-pixel squares: a glyph `scale` times as large is
// drawn through the world transform, about the centre of `r`.
void DrawGlyphScaled(HDC dc, Glyph glyph, const RECT& r, COLORREF color, double scale) {
  if (scale < 1.25) {
    DrawGlyph(dc, glyph, r, color);
    return;
  }
  int oldMode = SetGraphicsMode(dc, GM_ADVANCED);
  XFORM old{};
  GetWorldTransform(dc, &old);
  float cx = (r.left + r.right) / 2.0f, cy = (r.top + r.bottom) / 2.0f;
  float s = static_cast<float>(scale);
  XFORM x{s, 0, 0, s, cx - s * cx, cy - s * cy};
  SetWorldTransform(dc, &x);
  DrawGlyph(dc, glyph, r, color);
  SetWorldTransform(dc, &old);
  SetGraphicsMode(dc, oldMode);
}

// A box's glyph grows with the box: one at 24 pixels is drawn at its own size.
void DrawBoxGlyph(HDC dc, Glyph glyph, const RECT& r, COLORREF color) {
  double scale = std::min(r.right - r.left, r.bottom - r.top) / 24.0;
  DrawGlyphScaled(dc, glyph, r, color, scale < 1.5 ? 1.0 : scale);
}

uint32_t Sys(int index) { return SystemRgb(index); }

// High contrast: what each kind of element is drawn in, by state.
StateColors SystemColours(ElementKind kind, LookState state) {
  const bool lit = state == LookState::Hover || state == LookState::Down || state == LookState::On;
  switch (kind) {
    case ElementKind::Button:
    case ElementKind::Tab:
      if (state == LookState::Off)
        return {Sys(COLOR_BTNFACE), Sys(COLOR_GRAYTEXT), Sys(COLOR_GRAYTEXT)};
      if (lit) return {Sys(COLOR_HIGHLIGHT), Sys(COLOR_HIGHLIGHTTEXT), Sys(COLOR_HIGHLIGHT)};
      return {Sys(COLOR_BTNFACE), Sys(COLOR_BTNTEXT), Sys(COLOR_BTNTEXT)};
    case ElementKind::Field:
    case ElementKind::Check:
      if (state == LookState::Off)
        return {Sys(COLOR_WINDOW), Sys(COLOR_GRAYTEXT), Sys(COLOR_GRAYTEXT)};
      return {Sys(COLOR_WINDOW), Sys(COLOR_WINDOWTEXT),
              Sys(lit ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT)};
    default:
      return {Sys(COLOR_WINDOW), Sys(COLOR_WINDOWTEXT), Sys(COLOR_WINDOWTEXT)};
  }
}

StateColors ColoursOf(const ElementDef& e, const LookDef* look, LookState state,
                      const StateColors& defaults, const PaintStyle& style) {
  return style.systemColours ? SystemColours(e.kind, state) : Resolve(look, state, defaults);
}

int LineWidth(int dpi) { return std::max(1, dpi / 96); }

void PaintLabel(HDC dc, const ElementDef& e, RECT r, const std::wstring& text,
                const PaintStyle& style, int underline) {
  SetTextColor(dc,
               ToColorRef(style.systemColours ? Sys(COLOR_WINDOWTEXT) : e.color.value_or(kInk)));
  SetBkMode(dc, TRANSPARENT);
  UINT flags = e.align == Align::Center ? DT_CENTER : e.align == Align::Right ? DT_RIGHT : DT_LEFT;
  if (e.trim == Trim::End) flags |= DT_END_ELLIPSIS;
  if (e.trim == Trim::Path) flags |= DT_PATH_ELLIPSIS;
  if (!e.wrap) {
    flags |= DT_SINGLELINE | (e.valign == VAlign::Top      ? DT_TOP
                              : e.valign == VAlign::Bottom ? DT_BOTTOM
                                                           : DT_VCENTER);
    DrawTextIn(dc, text, r, flags, underline);
    return;
  }
  flags |= DT_WORDBREAK | DT_EDITCONTROL;
  RECT measure = r;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure,
            flags | DT_CALCRECT | DT_NOPREFIX);
  int height = measure.bottom - measure.top;
  if (e.valign != VAlign::Top && height < r.bottom - r.top)
    r.top +=
        e.valign == VAlign::Bottom ? (r.bottom - r.top - height) : (r.bottom - r.top - height) / 2;
  DrawTextIn(dc, text, r, flags, underline);
}

void PaintCheck(HDC dc, const ElementDef& e, const RECT& r, const LookDef* look,
                const ElementLook& s, const std::wstring& text, const PaintStyle& style) {
  LookState state = StateOf(s, false);
  StateColors c = ColoursOf(e, look, state, {kPaper, kInk, kFrame}, style);
  const int box = ScaleFor(kTickBox, style.dpi);
  const int radius = ScaleFor(look ? look->radius : 3, style.dpi);
  int top = (r.top + r.bottom - box) / 2;
  RECT b{r.left, top, r.left + box, top + box};
  Color mark = style.systemColours  ? Color(Sys(COLOR_HIGHLIGHT))
               : look && look->mark ? look->mark
                                    : Color(0x276892);
  uint32_t tick = style.systemColours ? Sys(COLOR_HIGHLIGHTTEXT) : kPaper;
  if (s.on) {
    Color fill = s.disabled ? c.border : mark;
    FillRounded(dc, b, radius, fill, fill, LineWidth(style.dpi));
    DrawGlyphScaled(dc, Glyph::Tick, b, ToColorRef(tick), style.dpi / 96.0);
  } else {
    FillRounded(dc, b, radius, c.fill, c.border, LineWidth(style.dpi));
  }
  RECT tr{b.right + ScaleFor(kTickGap, style.dpi), r.top, r.right, r.bottom};
  SetTextColor(dc, ToColorRef(c.text.value_or(kInk)));
  SetBkMode(dc, TRANSPARENT);
  DrawTextIn(dc, text, tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, s.accessKey);
}

}  // namespace

COLORREF ToColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

uint32_t SystemRgb(int index) {
  COLORREF c = GetSysColor(index);
  return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}

StateColors Resolve(const LookDef* look, LookState state, const StateColors& defaults) {
  if (!look) return defaults;
  // A look that leaves out a fill or a frame has none; text always has a colour.
  const StateColors& normal = look->states[static_cast<int>(LookState::Normal)];
  const StateColors& mine = look->states[static_cast<int>(state)];
  StateColors out;
  out.fill = mine.fill ? mine.fill : normal.fill;
  out.border = mine.border ? mine.border : normal.border;
  out.text = mine.text ? mine.text : normal.text ? normal.text : defaults.text;
  return out;
}

void FillRounded(HDC dc, const RECT& r, int radius, const Color& fill, const Color& border,
                 int line) {
  if (!fill && !border) return;
  if (r.right <= r.left || r.bottom <= r.top) return;
  UniqueGdiObject brush(fill ? CreateSolidBrush(ToColorRef(*fill)) : nullptr);
  UniqueGdiObject pen(
      border ? CreatePen(line > 1 ? PS_INSIDEFRAME : PS_SOLID, line, ToColorRef(*border))
             : nullptr);
  SelectedObject b(dc, brush ? brush.get() : GetStockObject(NULL_BRUSH));
  SelectedObject p(dc, pen ? pen.get() : GetStockObject(NULL_PEN));
  // Without a pen GDI leaves out the right and bottom edge: widen by one.
  int grow = pen ? 0 : 1;
  if (radius > 0)
    RoundRect(dc, r.left, r.top, r.right + grow, r.bottom + grow, radius * 2, radius * 2);
  else
    Rectangle(dc, r.left, r.top, r.right + grow, r.bottom + grow);
}

void DrawGlyph(HDC dc, Glyph glyph, const RECT& r, COLORREF color) {
  if (glyph == Glyph::None) return;
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  bool bold = glyph == Glyph::Up || glyph == Glyph::Down || glyph == Glyph::Tick ||
              glyph == Glyph::Gear || glyph == Glyph::Plus;
  UniqueGdiObject pen(CreatePen(PS_SOLID, bold ? 2 : 1, color));
  UniqueGdiObject brush(CreateSolidBrush(color));
  SelectedObject sp(dc, pen.get());
  SelectedObject sb(dc, GetStockObject(NULL_BRUSH));
  switch (glyph) {
    case Glyph::Minimize:
      Line(dc, cx - 5, cy, cx + 6, cy);
      break;
    case Glyph::Maximize:
      Rectangle(dc, cx - 5, cy - 5, cx + 6, cy + 6);
      break;
    case Glyph::Restore:
      Rectangle(dc, cx - 5, cy - 2, cx + 4, cy + 7);
      Polyline3(dc, cx - 2, cy - 2, cx - 2, cy - 5, cx + 6, cy - 5);
      Line(dc, cx + 6, cy - 5, cx + 6, cy + 4);
      Line(dc, cx + 6, cy + 3, cx + 3, cy + 3);
      break;
    case Glyph::Close:
    case Glyph::Cross:
      Line(dc, cx - 5, cy - 5, cx + 6, cy + 6);
      Line(dc, cx + 5, cy - 5, cx - 6, cy + 6);
      break;
    case Glyph::Tray:
      Line(dc, cx - 6, cy + 5, cx + 7, cy + 5);
      Line(dc, cx, cy - 6, cx, cy + 3);
      Polyline3(dc, cx - 4, cy - 1, cx, cy + 3, cx + 5, cy - 2);
      break;
    case Glyph::Up:
      Polyline3(dc, cx - 5, cy + 3, cx, cy - 2, cx + 5, cy + 3);
      break;
    case Glyph::Down:
      Polyline3(dc, cx - 5, cy - 2, cx, cy + 3, cx + 5, cy - 2);
      break;
    case Glyph::Plus:
      Line(dc, cx - 5, cy, cx + 6, cy);
      Line(dc, cx, cy - 5, cx, cy + 6);
      break;
    case Glyph::Tick:
      Polyline3(dc, cx - 4, cy, cx - 1, cy + 3, cx + 5, cy - 4);
      break;
    case Glyph::Play: {
      SelectedObject fill(dc, brush.get());
      POINT p[] = {{cx - 3, cy - 5}, {cx + 4, cy}, {cx - 3, cy + 5}};
      Polygon(dc, p, 3);
      break;
    }
    case Glyph::Stop: {
      RECT sq{cx - 4, cy - 4, cx + 5, cy + 5};
      FillRect(dc, &sq, static_cast<HBRUSH>(brush.get()));
      break;
    }
    case Glyph::Folder: {
      POINT p[] = {{cx - 7, cy - 5}, {cx - 2, cy - 5}, {cx, cy - 3},    {cx + 7, cy - 3},
                   {cx + 7, cy + 5}, {cx - 7, cy + 5}, {cx - 7, cy - 5}};
      Polyline(dc, p, 7);
      Line(dc, cx - 7, cy - 1, cx + 7, cy - 1);
      break;
    }
    case Glyph::Gear:
      for (int k = 0; k < 8; ++k) {
        double a = k * 3.14159265 / 4;
        Line(dc, cx + static_cast<int>(std::lround(3 * std::cos(a))),
             cy + static_cast<int>(std::lround(3 * std::sin(a))),
             cx + static_cast<int>(std::lround(6 * std::cos(a))),
             cy + static_cast<int>(std::lround(6 * std::sin(a))));
      }
      Ellipse(dc, cx - 4, cy - 4, cx + 5, cy + 5);
      break;
    case Glyph::Help: {
      Ellipse(dc, cx - 7, cy - 7, cx + 8, cy + 8);
      Polyline3(dc, cx - 2, cy - 2, cx - 2, cy - 4, cx, cy - 5);
      Polyline3(dc, cx, cy - 5, cx + 2, cy - 4, cx + 2, cy - 2);
      Polyline3(dc, cx + 2, cy - 2, cx, cy, cx, cy + 2);
      Line(dc, cx, cy + 4, cx, cy + 5);
      break;
    }
    case Glyph::Globe:
      Ellipse(dc, cx - 7, cy - 7, cx + 8, cy + 8);
      Ellipse(dc, cx - 3, cy - 7, cx + 4, cy + 8);
      Line(dc, cx - 7, cy, cx + 8, cy);
      break;
    case Glyph::None:
      break;
  }
}

void PaintElement(HDC dc, const ElementDef& e, const RECT& r, const LookDef* look,
                  const ElementLook& s, const std::wstring& text, HFONT font,
                  const PaintStyle& style) {
  SelectedObject f(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  if (!look) look = &DefaultLook();
  const int line = LineWidth(style.dpi);
  switch (e.kind) {
    case ElementKind::Box:
    case ElementKind::Panel: {
      Color fill = e.fill, border = e.border;
      if (style.systemColours) {
        fill = fill ? Color(Sys(COLOR_WINDOW)) : fill;
        border = border ? Color(Sys(COLOR_WINDOWTEXT)) : border;
      }
      FillRounded(dc, r, ScaleFor(e.radius, style.dpi), fill, border, line);
      uint32_t ink = style.systemColours ? Sys(COLOR_WINDOWTEXT) : e.color.value_or(kPaper);
      if (e.glyph != Glyph::None) DrawBoxGlyph(dc, e.glyph, r, ToColorRef(ink));
      break;
    }
    case ElementKind::Label:
      PaintLabel(dc, e, r, text, style, s.accessKey);
      break;
    case ElementKind::Check:
      PaintCheck(dc, e, r, look, s, text, style);
      break;
    case ElementKind::Field: {
      StateColors c = ColoursOf(e, look, StateOf(s, true), {kPaper, kInk, kFrame}, style);
      FillRounded(dc, r, ScaleFor(look ? look->radius : 0, style.dpi), c.fill, c.border, line);
      break;
    }
    case ElementKind::Button:
    case ElementKind::Tab: {
      StateColors c = ColoursOf(e, look, StateOf(s, true), {kFace, kInk, kFrame}, style);
      FillRounded(dc, r, ScaleFor(look ? look->radius : 0, style.dpi), c.fill, c.border, line);
      Color mark = style.systemColours ? Color(Sys(COLOR_HIGHLIGHTTEXT))
                   : look              ? look->mark
                                       : Color();
      if (e.kind == ElementKind::Tab && s.on && mark) {
        RECT bar{r.left, r.bottom - ScaleFor(kTabMark, style.dpi), r.right, r.bottom};
        FillRounded(dc, bar, 0, mark, {});
      }
      DrawCaption(dc, e, r, text, ToColorRef(c.text.value_or(kInk)), style.dpi, s.accessKey);
      break;
    }
    case ElementKind::Drag:
      break;
  }
}

}  // namespace mf::movie
