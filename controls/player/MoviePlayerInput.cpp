// The player's window: what the user does with the movie, its text fields,
// its sliding panels and its tips.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include "common/WindowText.h"
#include "controls/player/MoviePlayer.h"

namespace mf {

using namespace movie;

namespace {
constexpr UINT_PTR kSlideTimer = 1;
constexpr UINT kSlideFrameMs = 15;
constexpr UINT kFlushCommands = WM_APP + 0x31;
constexpr int kFieldPad = 9;
constexpr UINT_PTR kFieldIdBase = 1000;
constexpr uint32_t kCueInk = 0x8A9AA6;
}  // namespace

void MoviePlayer::RaiseFSCommand(const std::wstring& command, const std::wstring& args) {
  if (events_) events_->FSCommand(command, args);
}

LRESULT MoviePlayer::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (LRESULT answer = 0; HandleKeyboard(msg, wParam, lParam, answer)) return answer;
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      SetHover(-1);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_CAPTURECHANGED:
      if (pressed_ >= 0 && reinterpret_cast<HWND>(lParam) != Hwnd()) {
        size_t was = static_cast<size_t>(pressed_);
        pressed_ = -1;
        InvalidateElement(was);
      }
      return 0;
    case WM_TIMER:
      if (wParam == kSlideTimer) OnAnimationTick();
      return 0;
    case kFlushCommands:
      FlushQueuedCommands();
      return 0;
    case WM_COMMAND:
      if (lParam) OnFieldNotify(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      for (const auto& [index, edit] : fields_)
        if (edit == reinterpret_cast<HWND>(lParam))
          return reinterpret_cast<LRESULT>(FieldBrush(index, reinterpret_cast<HDC>(wParam)));
      return Window::HandleMessage(msg, wParam, lParam);
    case WM_NOTIFY:
      return OnTipNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_DESTROY:
      // The edit controls and the tips go with the window.
      fields_.clear();
      tips_ = nullptr;
      return 0;
    default:
      return Window::HandleMessage(msg, wParam, lParam);
  }
}

// ---- Mouse

bool MoviePlayer::IsInteractive(size_t index) const {
  switch (movie_.elements[index].kind) {
    case ElementKind::Button:
    case ElementKind::Tab:
    case ElementKind::Check:
    case ElementKind::Drag:
    case ElementKind::Field:
      return true;
    default:
      return false;
  }
}

int MoviePlayer::HitTest(int x, int y) const {
  POINT pt{x, y};
  for (size_t i = movie_.elements.size(); i-- > 0;) {
    ElementKind kind = movie_.elements[i].kind;
    // Pictures and text let the mouse through; a panel covers what is under it.
    if (kind == ElementKind::Box || kind == ElementKind::Label) continue;
    if (!IsElementShown(i)) continue;
    RECT r = ElementRect(i);
    if (!PtInRect(&r, pt)) continue;
    return IsInteractive(i) ? static_cast<int>(i) : -1;
  }
  return -1;
}

void MoviePlayer::OnMouseMove(int x, int y) {
  if (!tracking_) {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, Hwnd(), 0};
    tracking_ = TrackMouseEvent(&t) != FALSE;
  }
  SetHover(HitTest(x, y));
}

void MoviePlayer::SetHover(int index) {
  if (index == hover_) return;
  int old = hover_;
  hover_ = index;
  if (old >= 0) InvalidateElement(static_cast<size_t>(old));
  if (index >= 0) InvalidateElement(static_cast<size_t>(index));
  UpdateTip();
}

void MoviePlayer::OnButtonDown(int x, int y) {
  SetHover(HitTest(x, y));
  if (hover_ < 0) return;
  size_t i = static_cast<size_t>(hover_);
  if (!IsElementEnabled(i)) return;
  const ElementDef& e = movie_.elements[i];
  if (e.kind == ElementKind::Drag) {
    // The owner moves the window from here on; the button-up goes to it.
    SendCommand(std::wstring(e.command));
    return;
  }
  if (e.kind == ElementKind::Field) {
    auto it = fields_.find(i);
    if (it != fields_.end()) SetFocus(it->second);
    return;
  }
  pressed_ = hover_;
  SetCapture(Hwnd());
  InvalidateElement(i);
}

void MoviePlayer::OnButtonUp(int x, int y) {
  if (pressed_ < 0) return;
  int was = pressed_;
  pressed_ = -1;
  if (GetCapture() == Hwnd()) ReleaseCapture();
  InvalidateElement(static_cast<size_t>(was));
  int now = HitTest(x, y);
  SetHover(now);
  if (now == was && IsElementEnabled(static_cast<size_t>(was))) Activate(static_cast<size_t>(was));
}

// ---- Actions

void MoviePlayer::Activate(size_t index) {
  // Copies: storing variables may start slides, and a command may do anything.
  const ElementDef e = movie_.elements[index];
  if (e.kind == ElementKind::Check) {
    bool ticked = !IsTrue(Lookup(e.var));
    Store(e.var, ticked ? L"1" : L"0");
    SendCommand(ticked ? e.command : e.offCommand);
    return;
  }
  if (e.kind == ElementKind::Tab) CloseAllPanelsQuietly();
  for (const Assignment& a : e.sets) Store(a.name, a.value);
  if (!e.toggle.empty()) Store(e.toggle, IsTrue(Lookup(e.toggle)) ? L"0" : L"1");
  if (e.kind == ElementKind::Tab) Store(movie_.pageVariable, e.target);
  SendCommand(e.command);
}

void MoviePlayer::SendCommand(const std::wstring& command) {
  if (command.empty()) return;
  RaiseFSCommand(command, L"");
  if (!Hwnd()) return;
  // A command that hid or minimised the window leaves nothing under the mouse.
  HWND top = GetAncestor(Hwnd(), GA_ROOT);
  if (!IsWindowVisible(top) || IsIconic(top)) {
    if (pressed_ >= 0 && GetCapture() == Hwnd()) ReleaseCapture();
    pressed_ = -1;
    SetHover(-1);
  }
}

void MoviePlayer::QueueCommand(const std::wstring& command) {
  if (command.empty() || !Hwnd()) return;
  queued_.push_back(command);
  PostMessageA(Hwnd(), kFlushCommands, 0, 0);
}

void MoviePlayer::FlushQueuedCommands() {
  std::vector<std::wstring> now;
  now.swap(queued_);
  unsigned generation = generation_;
  for (const std::wstring& c : now) {
    if (generation != generation_ || !Hwnd()) return;
    SendCommand(c);
  }
}

// ---- Text fields

void MoviePlayer::CreateFields() {
  if (!Hwnd()) return;
  for (size_t i = 0; i < movie_.elements.size(); ++i) {
    const ElementDef& e = movie_.elements[i];
    if (e.kind != ElementKind::Field) continue;
    HFONT font = FontOf(e.font, e.look);
    // A wide box: a typed address or folder keeps every character.
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT,
                                0, 0, 1, 1, Hwnd(), reinterpret_cast<HMENU>(kFieldIdBase + i),
                                GetModuleHandleW(nullptr), nullptr);
    if (!edit) continue;
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    PlaceField(i, edit);
    SendMessageA(edit, EM_LIMITTEXT, 4096, 0);
    SetWindowSubclass(edit, &MoviePlayer::FieldProc, i, reinterpret_cast<DWORD_PTR>(this));
    fields_[i] = edit;
    auto it = variables_.find(e.var);
    if (it != variables_.end()) {
      fieldEcho_ = true;
      SetText(edit, it->second);
      fieldEcho_ = false;
    }
  }
}

// The edit control in its box, one line of its font high, centred.
void MoviePlayer::PlaceField(size_t index, HWND edit) {
  int lineHeight = Px(16);
  if (HDC dc = GetDC(edit)) {
    SelectedObject f(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc, &tm)) lineHeight = tm.tmHeight + Px(2);
    ReleaseDC(edit, dc);
  }
  const RECT box = Home(index);
  int width = std::max<int>(box.right - box.left - 2 * Px(kFieldPad), 1);
  int height = std::min<int>(lineHeight, std::max<int>(box.bottom - box.top - 2, 1));
  SetWindowPos(edit, nullptr, box.left + Px(kFieldPad),
               box.top + (box.bottom - box.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoviePlayer::OnFieldNotify(HWND edit, WORD code) {
  for (const auto& [index, h] : fields_) {
    if (h != edit) continue;
    if (code == EN_CHANGE) {
      InvalidateRect(edit, nullptr, TRUE);  // the cue comes and goes with the text
      if (!fieldEcho_) Store(movie_.elements[index].var, GetText(edit));
    } else if (code == EN_SETFOCUS || code == EN_KILLFOCUS) {
      InvalidateElement(index);
      InvalidateRect(edit, nullptr, TRUE);
    }
    return;
  }
}

HBRUSH MoviePlayer::FieldBrush(size_t index, HDC dc) {
  const ElementDef& e = movie_.elements[index];
  LookState state = IsElementEnabled(index) ? LookState::Normal : LookState::Off;
  StateColors c = style_.systemColours
                      ? StateColors{SystemRgb(COLOR_WINDOW), SystemRgb(COLOR_WINDOWTEXT), {}}
                      : Resolve(movie_.FindLook(e.look), state, {0xFFFFFF, 0x1F2D36, {}});
  COLORREF fill = ToColorRef(c.fill.value_or(0xFFFFFF));
  SetTextColor(dc, ToColorRef(c.text.value_or(0x1F2D36)));
  SetBkColor(dc, fill);
  if (!fieldBrush_ || fieldBrushColor_ != fill) {
    fieldBrush_.reset(CreateSolidBrush(fill));
    fieldBrushColor_ = fill;
  }
  return static_cast<HBRUSH>(fieldBrush_.get());
}

void MoviePlayer::PaintFieldCue(HWND edit, size_t index) {
  const ElementDef& e = movie_.elements[index];
  if (e.cue.empty() || GetWindowTextLengthW(edit) > 0) return;
  HDC dc = GetDC(edit);
  if (!dc) return;
  {
    SelectedObject f(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(edit, WM_GETFONT, 0, 0)));
    RECT r{};
    SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    SetTextColor(dc, style_.systemColours ? GetSysColor(COLOR_GRAYTEXT) : ToColorRef(kCueInk));
    SetBkMode(dc, TRANSPARENT);
    // Leave the caret's column free when the box has the focus.
    if (GetFocus() == edit) r.left += Px(2);
    DrawTextW(dc, e.cue.c_str(), static_cast<int>(e.cue.size()), &r,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  ReleaseDC(edit, dc);
}

LRESULT CALLBACK MoviePlayer::FieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<MoviePlayer*>(data);
  size_t index = static_cast<size_t>(id);
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        self->SendCommand(std::wstring(self->movie_.elements[index].command));
        return 0;
      }
      if (wParam == VK_TAB) {
        self->MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r' || wParam == '\n' || wParam == '\t') return 0;  // no beep
      break;
    case WM_SYSCHAR:
      if (self->PressAccessKey(static_cast<wchar_t>(wParam))) return 0;
      break;
    case WM_SETFOCUS:
      self->OnFieldFocus(index);
      break;
    case WM_GETOBJECT:
      if (LRESULT object = self->AnswerFieldGetObject(index, hwnd, wParam, lParam)) return object;
      break;
    case WM_PAINT: {
      LRESULT r = DefSubclassProc(hwnd, msg, wParam, lParam);
      self->PaintFieldCue(hwnd, index);
      return r;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &MoviePlayer::FieldProc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// ---- Panels

void MoviePlayer::StartSlide(size_t panel, bool open) {
  PanelState& s = panels_[panel];
  if (s.opening == open) return;  // already there, or on its way
  const double target = open ? 1.0 : 0.0;
  const ElementDef& e = movie_.elements[panel];
  s.opening = open;
  s.from = s.shown;
  s.started = GetTickCount64();
  if (open) QueueCommand(e.openCommand);
  InvalidateElement(panel);
  if (e.duration == 0) {
    s.shown = target;
    RECT home = Home(panel);
    InvalidateRect(Hwnd(), &home, FALSE);
    if (!open) QueueCommand(e.closeCommand);
    return;
  }
  if (!animating_) animating_ = SetTimer(Hwnd(), kSlideTimer, kSlideFrameMs, nullptr) != 0;
  if (!animating_) OnAnimationTick();  // no timer to be had: jump to the end
}

void MoviePlayer::CloseAllPanelsQuietly() {
  for (auto& [index, s] : panels_) {
    if (s.shown == 0 && !s.opening) continue;
    s.shown = 0;
    s.opening = false;
    const ElementDef& e = movie_.elements[index];
    RECT home = Home(index);
    InvalidateRect(Hwnd(), &home, FALSE);
    variables_[e.var] = L"0";
    // What shows the panel's state (a button's caption, say) follows.
    InvalidateRect(Hwnd(), nullptr, FALSE);
  }
}

void MoviePlayer::OnAnimationTick() {
  ULONGLONG now = GetTickCount64();
  bool still = false;
  for (auto& [index, s] : panels_) {
    const double target = s.opening ? 1.0 : 0.0;
    if (s.shown == target) continue;
    const ElementDef& e = movie_.elements[index];
    double t =
        e.duration > 0 && animating_ ? static_cast<double>(now - s.started) / e.duration : 1.0;
    if (t >= 1.0) {
      s.shown = target;
      if (!s.opening) QueueCommand(e.closeCommand);
    } else {
      double eased = 1.0 - (1.0 - t) * (1.0 - t) * (1.0 - t);
      s.shown = s.from + (target - s.from) * eased;
      still = true;
    }
    RECT home = Home(index);
    InvalidateRect(Hwnd(), &home, FALSE);
  }
  if (!still && animating_) {
    KillTimer(Hwnd(), kSlideTimer);
    animating_ = false;
  }
  UpdateFields();
}

// ---- Tips

void MoviePlayer::UpdateTip() {
  if (!tips_ || !Hwnd()) return;
  std::wstring tip;
  RECT r{};
  if (hover_ >= 0 && static_cast<size_t>(hover_) < movie_.elements.size()) {
    tip = movie_.elements[static_cast<size_t>(hover_)].tip;
    if (!tip.empty()) r = ElementRect(static_cast<size_t>(hover_));
  }
  if (tip != tipText_) SendMessageW(tips_, TTM_POP, 0, 0);
  tipText_ = tip;
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = Hwnd();
  ti.uId = 1;
  ti.rect = r;
  SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

LRESULT MoviePlayer::OnTipNotify(NMHDR* hdr) {
  if (hdr && hdr->hwndFrom == tips_ && hdr->code == TTN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
    info->lpszText = tipText_.data();
  }
  return 0;
}

}  // namespace mf
