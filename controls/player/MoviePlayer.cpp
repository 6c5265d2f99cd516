// The player's window: loading a movie, its variables, geometry and painting.
#include "controls/player/MoviePlayer.h"

#include <commctrl.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <utility>

#include "common/Dpi.h"
#include "common/WindowText.h"
#include "controls/player/MovieAccessKeys.h"
#include "controls/player/MovieLayout.h"

namespace mf {

using namespace movie;

namespace {
constexpr uint32_t kEmptyBackground = 0xF3F5F7;  // what an empty player shows
// Smoothed text may reach a pixel or two past its rectangle.
constexpr int kOverhang = 2;
}  // namespace

MoviePlayer::MoviePlayer() = default;

MoviePlayer::~MoviePlayer() {
  ReleaseAccessibles();  // clients may hold them longer than the player lives
  Unload();
  if (tips_) DestroyWindow(tips_);
}

bool MoviePlayer::Create(const CreateArgs& args) {
  events_ = args.events;
  // The user's "underline access keys" setting; otherwise they show once
  // the keyboard is used.
  BOOL cues = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
  cues_ = cues != FALSE;
  // Siblings clipped: the owner brings its own windows (the grid) in front.
  // A tab stop: the keyboard reaches the movie's own stops through it.
  RegisterClassOnce(kClassName, CS_DBLCLKS, nullptr);
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP;
  if (!CreateFor(0, kClassName, "", style, args.left, args.top, args.width, args.height,
                 args.parent, nullptr))
    return false;
  dpi_ = style_.dpi = WindowDpi(Hwnd());
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0, Hwnd(), nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (tips_) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = Hwnd();
    ti.uId = 1;
    ti.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  return true;
}

void MoviePlayer::LoadMovie(int layer, const std::wstring& path) {
  if (layer != 0) return;
  moviePath_ = path;
  Unload();
  // A path is opened as UTF-16 (_wfopen): the program may live in a folder of any name.
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) {
    loadError_ = L"the movie file cannot be opened";
    return;
  }
  std::string bytes;
  bytes.resize(kMaxMovieBytes + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  Movie m;
  if (!ParseMovie(bytes, m, loadError_)) return;
  Install(std::move(m));
}

void MoviePlayer::Unload() {
  if (pressed_ >= 0 && GetCapture() == Hwnd()) ReleaseCapture();
  ReleaseFieldAccessibles();
  for (auto& [index, edit] : fields_) DestroyWindow(edit);
  fields_.clear();
  accessKeys_.clear();
  focus_ = -1;
  panels_.clear();
  dependents_.clear();
  queued_.clear();
  fonts_.clear();
  homes_.clear();
  movie_ = Movie{};
  loaded_ = false;
  loadError_.clear();
  hover_ = pressed_ = -1;
  ++generation_;
  if (animating_ && Hwnd()) KillTimer(Hwnd(), 1);
  animating_ = false;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
  UpdateTip();
}

void MoviePlayer::Install(Movie&& m) {
  movie_ = std::move(m);
  loaded_ = true;
  // Start values never overwrite what the owner set before the movie came.
  for (const Assignment& a : movie_.startValues)
    if (!variables_.count(a.name)) variables_[a.name] = a.value;
  for (size_t i = 0; i < movie_.elements.size(); ++i) {
    const ElementDef& e = movie_.elements[i];
    for (const std::wstring& name : movie_.VariablesOf(e)) dependents_[name].push_back(i);
    if (e.panel >= 0) dependents_[movie_.elements[static_cast<size_t>(e.panel)].var].push_back(i);
    if (e.kind == ElementKind::Panel) {
      PanelState& p = panels_[i];
      p.opening = IsTrue(Lookup(e.var));
      p.shown = p.opening ? 1 : 0;
    }
  }
  accessKeys_ = AssignAccessKeys(movie_);
  fonts_ = MakeFonts();
  LayOut();
  CreateFields();
  UpdateFields();
  QueueCommand(movie_.startCommand);
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

std::vector<UniqueGdiObject> MoviePlayer::MakeFonts() const {
  std::vector<UniqueGdiObject> fonts;
  for (const FontDef& f : movie_.fonts) {
    LOGFONTW lf{};
    lf.lfHeight = -ScaleFor(f.size, dpi_);
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.italic;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(lf.lfFaceName, f.face.c_str(), LF_FACESIZE);
    fonts.emplace_back(CreateFontIndirectW(&lf));
  }
  return fonts;
}

void MoviePlayer::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = style_.dpi = dpi;
  // The fields take the new fonts before the old ones go.
  std::vector<UniqueGdiObject> old = std::exchange(fonts_, MakeFonts());
  for (auto& [index, edit] : fields_) {
    const ElementDef& e = movie_.elements[index];
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(e.font, e.look)), FALSE);
  }
  LayOut();
}

void MoviePlayer::SetSystemColours(bool on) {
  if (style_.systemColours == on) return;
  style_.systemColours = on;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, TRUE);
  for (auto& [index, edit] : fields_) InvalidateRect(edit, nullptr, TRUE);
}

int MoviePlayer::Px(int pixels96) const { return ScaleFor(pixels96, dpi_); }

int MoviePlayer::FindElement(const std::wstring& name) const {
  for (size_t i = 0; i < movie_.elements.size(); ++i)
    if (movie_.elements[i].name == name) return static_cast<int>(i);
  return -1;
}

void MoviePlayer::LayOut() {
  if (!loaded_) return;
  RECT client{};
  if (Hwnd()) GetClientRect(Hwnd(), &client);
  const SIZE room = Growth({client.right, client.bottom}, movie_.width, movie_.height, dpi_);
  homes_.resize(movie_.elements.size());
  for (size_t i = 0; i < movie_.elements.size(); ++i) {
    const ElementDef& e = movie_.elements[i];
    SIZE grow = room;
    if (e.panel >= 0) {
      // A panel's elements share what the panel itself grew by.
      const ElementDef& p = movie_.elements[static_cast<size_t>(e.panel)];
      const RECT& home = homes_[static_cast<size_t>(e.panel)];
      grow = {home.right - home.left - Px(p.at.w), home.bottom - home.top - Px(p.at.h)};
    }
    homes_[i] = Arrange(e.at, e.anchor, dpi_, grow);
  }
  for (auto& [index, edit] : fields_) PlaceField(index, edit);
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
  UpdateTip();
}

RECT MoviePlayer::Home(size_t index) const {
  if (index < homes_.size()) return homes_[index];
  const Rect& at = movie_.elements[index].at;
  return {at.x, at.y, at.x + at.w, at.y + at.h};
}

HFONT MoviePlayer::FontOf(const std::wstring& fontName, const std::wstring& lookName) const {
  std::wstring name = fontName;
  if (name.empty())
    if (const LookDef* look = movie_.FindLook(lookName)) name = look->font;
  for (size_t k = 0; k < movie_.fonts.size() && k < fonts_.size(); ++k)
    if (movie_.fonts[k].name == name) return static_cast<HFONT>(fonts_[k].get());
  // The first font of the movie is its body text.
  return fonts_.empty() ? nullptr : static_cast<HFONT>(fonts_.front().get());
}

std::wstring MoviePlayer::Lookup(const std::wstring& name) const { return GetVariable(name); }

void MoviePlayer::SetVariable(const std::wstring& name, const std::wstring& value) {
  HWND edit = FieldWindow(name);
  if (edit && GetText(edit) != value) {
    fieldEcho_ = true;
    SetText(edit, value);
    fieldEcho_ = false;
    InvalidateRect(edit, nullptr, TRUE);
  }
  Store(name, value);
}

std::wstring MoviePlayer::GetVariable(const std::wstring& name) const {
  if (HWND edit = FieldWindow(name)) return GetText(edit);
  auto it = variables_.find(name);
  return it == variables_.end() ? std::wstring() : it->second;
}

void MoviePlayer::Store(const std::wstring& name, const std::wstring& value) {
  auto it = variables_.find(name);
  if (it != variables_.end() && it->second == value) return;
  variables_[name] = value;
  OnVariableChanged(name);
}

void MoviePlayer::OnVariableChanged(const std::wstring& name) {
  if (!loaded_ || !Hwnd()) return;
  if (name == movie_.pageVariable) {
    // Another page: whatever slid over the old one is put away.
    CloseAllPanelsQuietly();
    InvalidateRect(Hwnd(), nullptr, FALSE);
  }
  for (auto& [index, state] : panels_)
    if (movie_.elements[index].var == name) StartSlide(index, IsTrue(Lookup(name)));
  auto it = dependents_.find(name);
  if (it != dependents_.end())
    for (size_t i : it->second) InvalidateElement(i);
  UpdateFields();
  UpdateTip();
  KeepFocusInPlace();
}

void MoviePlayer::UpdateFields() {
  for (auto& [index, edit] : fields_) {
    bool shown = IsElementShown(index);
    if (!shown && GetFocus() == edit) SetFocus(Hwnd());
    if (!!IsWindowVisible(edit) != shown) ShowWindow(edit, shown ? SW_SHOWNA : SW_HIDE);
    bool enabled = IsElementEnabled(index);
    if (!!IsWindowEnabled(edit) != enabled) EnableWindow(edit, enabled);
  }
}

void MoviePlayer::InvalidateElement(size_t index) {
  if (!Hwnd() || index >= movie_.elements.size()) return;
  RECT r = ElementRect(index);
  if (movie_.elements[index].panel < 0) InflateRect(&r, Px(kOverhang), Px(kOverhang));
  InvalidateRect(Hwnd(), &r, FALSE);
}

HWND MoviePlayer::FieldWindow(const std::wstring& variable) const {
  for (const auto& [index, edit] : fields_)
    if (movie_.elements[index].var == variable) return edit;
  return nullptr;
}

POINT MoviePlayer::PanelOrigin(size_t panel) const {
  const ElementDef& e = movie_.elements[panel];
  const RECT home = Home(panel);
  auto it = panels_.find(panel);
  double hidden = 1.0 - (it == panels_.end() ? 0.0 : it->second.shown);
  int dx = static_cast<int>(std::lround(hidden * (home.right - home.left)));
  int dy = static_cast<int>(std::lround(hidden * (home.bottom - home.top)));
  switch (e.from) {
    case Slide::Bottom:
      return {home.left, home.top + dy};
    case Slide::Top:
      return {home.left, home.top - dy};
    case Slide::Left:
      return {home.left - dx, home.top};
    case Slide::Right:
      return {home.left + dx, home.top};
  }
  return {home.left, home.top};
}

RECT MoviePlayer::PanelRect(size_t panel) const {
  POINT o = PanelOrigin(panel);
  const RECT home = Home(panel);
  RECT moved = home;
  OffsetRect(&moved, o.x - home.left, o.y - home.top);
  RECT r{};
  IntersectRect(&r, &moved, &home);
  return r;
}

RECT MoviePlayer::PlacedRect(size_t index) const {
  const ElementDef& e = movie_.elements[index];
  RECT r = Home(index);
  if (e.kind == ElementKind::Panel) {
    POINT o = PanelOrigin(index);
    OffsetRect(&r, o.x - r.left, o.y - r.top);
    return r;
  }
  if (e.panel >= 0) {
    POINT o = PanelOrigin(static_cast<size_t>(e.panel));
    OffsetRect(&r, o.x, o.y);
  }
  return r;
}

RECT MoviePlayer::ElementRect(size_t index) const {
  if (index >= movie_.elements.size()) return {};
  const ElementDef& e = movie_.elements[index];
  if (e.kind == ElementKind::Panel) return PanelRect(index);
  RECT r = PlacedRect(index);
  if (e.panel >= 0) {
    RECT clip = PanelRect(static_cast<size_t>(e.panel)), out{};
    IntersectRect(&out, &r, &clip);
    return out;
  }
  return r;
}

bool MoviePlayer::IsElementShown(size_t index) const {
  if (index >= movie_.elements.size()) return false;
  const ElementDef& e = movie_.elements[index];
  auto lookup = [this](const std::wstring& n) { return Lookup(n); };
  if (e.page >= 0 && Lookup(movie_.pageVariable) != movie_.pages[static_cast<size_t>(e.page)])
    return false;
  if (!e.visible.Evaluate(lookup)) return false;
  if (e.kind == ElementKind::Panel) {
    auto it = panels_.find(index);
    return it != panels_.end() && it->second.shown > 0;
  }
  return e.panel < 0 || IsElementShown(static_cast<size_t>(e.panel));
}

bool MoviePlayer::IsElementEnabled(size_t index) const {
  if (!IsElementShown(index)) return false;
  const ElementDef& e = movie_.elements[index];
  if (!e.enabled.Evaluate([this](const std::wstring& n) { return Lookup(n); })) return false;
  // Nothing on a panel reacts while it slides.
  return e.panel < 0 || panels_.at(static_cast<size_t>(e.panel)).shown >= 1.0;
}

ElementLook MoviePlayer::LookOf(size_t index) const {
  const ElementDef& e = movie_.elements[index];
  ElementLook s;
  int i = static_cast<int>(index);
  s.hover = hover_ == i && (pressed_ < 0 || pressed_ == i);
  s.down = pressed_ == i && hover_ == i;
  s.disabled = !e.enabled.Evaluate([this](const std::wstring& n) { return Lookup(n); });
  if (e.kind == ElementKind::Tab) s.on = Lookup(movie_.pageVariable) == e.target;
  if (e.kind == ElementKind::Check) s.on = IsTrue(Lookup(e.var));
  if (e.kind == ElementKind::Button) s.on = !e.toggle.empty() && IsTrue(Lookup(e.toggle));
  if (e.kind == ElementKind::Field) {
    auto it = fields_.find(index);
    s.focused = it != fields_.end() && GetFocus() == it->second;
  }
  auto key = accessKeys_.find(index);
  if (cues_ && key != accessKeys_.end()) s.accessKey = static_cast<int>(key->second);
  return s;
}

void MoviePlayer::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Hwnd(), &ps);
  RECT client;
  GetClientRect(Hwnd(), &client);
  if (!buffer_ || bufferSize_.cx < client.right || bufferSize_.cy < client.bottom) {
    bufferSize_ = {std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
    buffer_.reset(CreateCompatibleBitmap(dc, bufferSize_.cx, bufferSize_.cy));
  }
  HDC mem = CreateCompatibleDC(dc);
  if (mem && buffer_) {
    {
      SelectedObject bitmap(mem, buffer_.get());
      PaintInto(mem, ps.rcPaint);
      BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
             ps.rcPaint.bottom - ps.rcPaint.top, mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    }
    DeleteDC(mem);
  } else {
    // Out of GDI resources: draw straight onto the screen rather than nothing.
    if (mem) DeleteDC(mem);
    PaintInto(dc, ps.rcPaint);
  }
  EndPaint(Hwnd(), &ps);
}

void MoviePlayer::PaintInto(HDC dc, const RECT& area) {
  UniqueGdiObject clip(CreateRectRgnIndirect(&area));
  SelectClipRgn(dc, static_cast<HRGN>(clip.get()));
  FillRounded(
      dc, area, 0,
      style_.systemColours ? SystemRgb(COLOR_WINDOW) : movie_.background.value_or(kEmptyBackground),
      {});
  auto lookup = [this](const std::wstring& n) { return Lookup(n); };
  for (size_t i = 0; i < movie_.elements.size(); ++i) {
    const ElementDef& e = movie_.elements[i];
    if (!IsElementShown(i)) continue;
    RECT visible = ElementRect(i), hit{};
    if (e.panel < 0) InflateRect(&visible, Px(kOverhang), Px(kOverhang));
    if (!IntersectRect(&hit, &visible, &area)) continue;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, hit.left, hit.top, hit.right, hit.bottom);
    PaintElement(dc, e, PlacedRect(i), movie_.FindLook(e.look), LookOf(i),
                 Interpolate(e.text, lookup), FontOf(e.font, e.look), style_);
    RestoreDC(dc, saved);
  }
  PaintFocus(dc);
  SelectClipRgn(dc, nullptr);
}

}  // namespace mf
