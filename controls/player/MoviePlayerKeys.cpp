// The player under the keyboard: its tab stops, the focus among them, the
// access keys and the focus rectangle.
#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "controls/access/Accessible.h"
#include "controls/player/MovieAccessKeys.h"
#include "controls/player/MoviePlayer.h"

namespace mf {

using namespace movie;

namespace {

// Posted by accDoDefaultAction (MovieAccessible.cpp): the element is pressed
// once the client's call has returned, since a command may open a dialog.
constexpr UINT kMsgPress = WM_APP + 0x32;

bool IsStop(ElementKind kind) {
  return kind == ElementKind::Button || kind == ElementKind::Tab || kind == ElementKind::Check ||
         kind == ElementKind::Field;
}

}  // namespace

bool MoviePlayer::HandleKeyboard(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_KEYDOWN:
      return OnKeyDown(wParam);
    case WM_CHAR:
      // Tab, Enter and Space acted on the key's press. A letter alone is an
      // access key while the focus is on a button, as in a dialog.
      if (wParam == '\t' || wParam == '\r' || wParam == ' ') return true;
      return PressAccessKey(static_cast<wchar_t>(wParam));
    case WM_SYSKEYDOWN:
      if (wParam == VK_MENU) ShowCues();
      return false;
    case WM_SYSCHAR:
      return PressAccessKey(static_cast<wchar_t>(wParam));
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      OnFocusChanged(msg == WM_SETFOCUS);
      return true;
    case WM_GETDLGCODE:
      // In a dialog too, Tab moves through the movie's own stops first.
      result = DLGC_WANTTAB | DLGC_WANTCHARS;
      return true;
    case WM_GETOBJECT:
      result = AnswerGetObject(wParam, lParam);
      return true;
    case kMsgPress:
      // Only while the movie that was asked about is still the one shown.
      if (static_cast<unsigned>(lParam) == generation_ && IsElementEnabled(wParam))
        Activate(wParam);
      return true;
    case WM_DESTROY:
      ReleaseAccessibles();
      return false;
    default:
      return false;
  }
}

bool MoviePlayer::OnKeyDown(WPARAM key) {
  switch (key) {
    case VK_TAB:
      MoveFocus(GetKeyState(VK_SHIFT) < 0);
      return true;
    case VK_RETURN:
    case VK_SPACE:
      if (focus_ >= 0 && movie_.elements[static_cast<size_t>(focus_)].kind != ElementKind::Field &&
          IsElementEnabled(static_cast<size_t>(focus_)))
        Activate(static_cast<size_t>(focus_));
      return true;
    default:
      return false;
  }
}

std::vector<size_t> MoviePlayer::TabStops() const {
  std::vector<size_t> stops;
  for (size_t i = 0; i < movie_.elements.size(); ++i) {
    const ElementKind kind = movie_.elements[i].kind;
    if (IsStop(kind) && IsElementEnabled(i) && (kind != ElementKind::Field || fields_.count(i)))
      stops.push_back(i);
  }
  return stops;
}

void MoviePlayer::MoveFocus(bool backwards) {
  ShowCues();
  const std::vector<size_t> stops = TabStops();
  const long from = focus_;
  std::optional<size_t> to;
  if (backwards) {
    for (auto it = stops.rbegin(); it != stops.rend() && !to; ++it)
      if (from < 0 || static_cast<long>(*it) < from) to = *it;
  } else {
    for (auto it = stops.begin(); it != stops.end() && !to; ++it)
      if (from < 0 || static_cast<long>(*it) > from) to = *it;
  }
  if (!to) {
    // Past the last stop: on to the window's next control, if it has one.
    if (HWND parent = GetParent(Hwnd())) SendMessageA(parent, WM_NEXTDLGCTL, backwards, FALSE);
    HWND now = GetFocus();
    if ((now != Hwnd() && !IsChild(Hwnd(), now)) || stops.empty()) return;
    to = backwards ? stops.back() : stops.front();
  }
  FocusElement(*to);
}

void MoviePlayer::EnterFocus(bool backwards) {
  ShowCues();
  const std::vector<size_t> stops = TabStops();
  if (stops.empty()) {
    SetFocus(Hwnd());
    return;
  }
  FocusElement(backwards ? stops.back() : stops.front());
}

void MoviePlayer::FocusElement(size_t index) {
  const int old = focus_;
  focus_ = static_cast<int>(index);
  if (old >= 0 && old != focus_) InvalidateElement(static_cast<size_t>(old));
  auto field = fields_.find(index);
  if (field != fields_.end()) {
    SetFocus(field->second);
    return;
  }
  if (GetFocus() != Hwnd()) {
    SetFocus(Hwnd());  // WM_SETFOCUS paints and announces it
    return;
  }
  InvalidateElement(index);
  AnnounceFocus();
}

void MoviePlayer::OnFieldFocus(size_t index) {
  const int old = focus_;
  focus_ = static_cast<int>(index);
  if (old >= 0 && old != focus_) InvalidateElement(static_cast<size_t>(old));
}

void MoviePlayer::OnFocusChanged(bool gained) {
  if (gained) {
    // Where the focus was, while that is still a stop; otherwise the first.
    const std::vector<size_t> stops = TabStops();
    if (std::find(stops.begin(), stops.end(), static_cast<size_t>(focus_)) == stops.end())
      focus_ = stops.empty() ? -1 : static_cast<int>(stops.front());
    auto field = fields_.find(static_cast<size_t>(focus_));
    if (field != fields_.end()) {
      SetFocus(field->second);
      return;
    }
    AnnounceFocus();
  }
  if (focus_ >= 0) InvalidateElement(static_cast<size_t>(focus_));
}

void MoviePlayer::KeepFocusInPlace() {
  if (focus_ < 0 || GetFocus() != Hwnd()) return;
  const ElementDef& was = movie_.elements[static_cast<size_t>(focus_)];
  const std::vector<size_t> stops = TabStops();
  if (std::find(stops.begin(), stops.end(), static_cast<size_t>(focus_)) != stops.end()) return;
  for (size_t stop : stops) {
    const ElementDef& e = movie_.elements[stop];
    if (e.at == was.at && e.panel == was.panel && e.page == was.page) {
      FocusElement(stop);
      return;
    }
  }
}

wchar_t MoviePlayer::AccessKey(size_t index) const {
  auto it = accessKeys_.find(index);
  if (it == accessKeys_.end()) return 0;
  return static_cast<wchar_t>(std::towupper(movie_.elements[index].text[it->second]));
}

bool MoviePlayer::PressAccessKey(wchar_t key) {
  const wchar_t wanted = static_cast<wchar_t>(std::towupper(key));
  for (const auto& [index, at] : accessKeys_) {
    if (AccessKey(index) != wanted) continue;
    // A label's key belongs to the field after it.
    const size_t target = movie_.elements[index].kind == ElementKind::Label ? index + 1 : index;
    if (!IsElementShown(index) || !IsElementEnabled(target)) continue;
    ShowCues();
    if (target != index)
      FocusElement(target);
    else
      Activate(target);
    return true;
  }
  return false;
}

void MoviePlayer::ShowCues() {
  if (cues_) return;
  cues_ = true;
  if (Hwnd()) InvalidateRect(Hwnd(), nullptr, FALSE);
}

void MoviePlayer::PaintFocus(HDC dc) {
  if (focus_ < 0 || GetFocus() != Hwnd() || !IsElementShown(static_cast<size_t>(focus_))) return;
  if (movie_.elements[static_cast<size_t>(focus_)].kind == ElementKind::Field) return;
  RECT r = ElementRect(static_cast<size_t>(focus_));
  InflateRect(&r, -3, -3);
  // DrawFocusRect inverts with the DC's colours: black and white show on any fill.
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  DrawFocusRect(dc, &r);
}

}  // namespace mf
