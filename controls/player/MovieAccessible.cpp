// The player as assistive technology sees it (MSAA): its shown buttons,
// tabs and tick boxes as children, named by their captions (or their tips,
// for a picture alone), with the push-button role and a default action that
// does what a click does; and its fields named by the label before them.
#include <algorithm>

#include "controls/access/Accessible.h"
#include "controls/player/MovieCondition.h"
#include "controls/player/MoviePlayer.h"

namespace mf {

using namespace movie;

namespace {
constexpr UINT kMsgPress = WM_APP + 0x32;  // see MoviePlayerKeys.cpp
}  // namespace

class MovieAccessible final : public access::Accessible {
 public:
  explicit MovieAccessible(MoviePlayer& player) : Accessible(player.Hwnd()), player_(player) {}

 protected:
  long ChildCount() override { return static_cast<long>(player_.AccessibleElements().size()); }

  std::wstring Name(long child) override {
    const ElementDef& e = Element(child);
    std::wstring name =
        Interpolate(e.text, [this](const std::wstring& n) { return player_.Lookup(n); });
    if (name.empty()) name = e.tip;
    return name.empty() ? GlyphName(e.glyph) : name;
  }

  std::wstring Description(long child) override {
    const ElementDef& e = Element(child);
    return e.tip == Name(child) ? std::wstring() : e.tip;
  }

  long Role(long child) override {
    return Element(child).kind == ElementKind::Check ? ROLE_SYSTEM_CHECKBUTTON
                                                     : ROLE_SYSTEM_PUSHBUTTON;
  }

  long State(long child) override {
    const size_t index = Index(child);
    long state =
        player_.IsElementEnabled(index) ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
    if (GetFocus() == Hwnd() && player_.focus_ == static_cast<int>(index))
      state |= STATE_SYSTEM_FOCUSED;
    // A chosen tab or a toggled button is pressed; a tick box is checked.
    const bool check = Element(child).kind == ElementKind::Check;
    if (player_.LookOf(index).on) state |= check ? STATE_SYSTEM_CHECKED : STATE_SYSTEM_PRESSED;
    if (player_.hover_ == static_cast<int>(index)) state |= STATE_SYSTEM_HOTTRACKED;
    return state;
  }

  RECT Location(long child) override { return player_.ElementRect(Index(child)); }

  std::wstring KeyboardShortcut(long child) override {
    const wchar_t key = player_.AccessKey(Index(child));
    return key ? std::wstring(L"Alt+") + key : std::wstring();
  }

  std::wstring DefaultAction(long child) override {
    if (Element(child).kind != ElementKind::Check) return L"Press";
    return player_.LookOf(Index(child)).on ? L"Uncheck" : L"Check";
  }

  HRESULT DoDefaultAction(long child) override {
    const size_t index = Index(child);
    if (!player_.IsElementEnabled(index)) return E_FAIL;  // a click does nothing either
    return PostMessageA(Hwnd(), kMsgPress, index, player_.generation_) ? S_OK : E_FAIL;
  }

  long ChildAt(POINT at) override { return ChildOf(player_.HitTest(at.x, at.y)); }

  long FocusedChild() override { return ChildOf(player_.focus_); }

 private:
  size_t Index(long child) const {
    return player_.AccessibleElements().at(static_cast<size_t>(child - 1));
  }
  const ElementDef& Element(long child) const { return player_.movie_.elements[Index(child)]; }
  long ChildOf(int index) const {
    const std::vector<size_t> shown = player_.AccessibleElements();
    auto it = std::find(shown.begin(), shown.end(), static_cast<size_t>(index));
    if (index < 0 || it == shown.end()) return CHILDID_SELF;
    return static_cast<long>(it - shown.begin() + 1);
  }

  MoviePlayer& player_;
};

// A field is a real edit box: the system's object tells its text and state;
// its name is the label right before it in the movie, or else its cue.
class FieldAccessible final : public access::Accessible {
 public:
  FieldAccessible(HWND edit, std::wstring name) : Accessible(edit), name_(std::move(name)) {}

 protected:
  long ChildCount() override { return 0; }
  std::optional<std::wstring> SelfName() override { return name_; }
  // A field has no children of its own: these are never asked.
  std::wstring Name(long) override { return {}; }
  long Role(long) override { return 0; }
  long State(long) override { return 0; }
  RECT Location(long) override { return {}; }

 private:
  std::wstring name_;
};

std::vector<size_t> MoviePlayer::AccessibleElements() const {
  std::vector<size_t> shown;
  for (size_t i = 0; i < movie_.elements.size(); ++i) {
    const ElementKind kind = movie_.elements[i].kind;
    const bool part =
        kind == ElementKind::Button || kind == ElementKind::Tab || kind == ElementKind::Check;
    if (part && IsElementShown(i)) shown.push_back(i);
  }
  return shown;
}

void MoviePlayer::AnnounceFocus() {
  if (GetFocus() != Hwnd() || focus_ < 0) return;
  const std::vector<size_t> shown = AccessibleElements();
  auto it = std::find(shown.begin(), shown.end(), static_cast<size_t>(focus_));
  if (it != shown.end())
    access::Notify(EVENT_OBJECT_FOCUS, Hwnd(), static_cast<long>(it - shown.begin() + 1));
}

LRESULT MoviePlayer::AnswerGetObject(WPARAM wParam, LPARAM lParam) {
  if (!accessible_ && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT)
    accessible_ = new MovieAccessible(*this);
  return access::AnswerGetObject(accessible_, wParam, lParam);
}

LRESULT MoviePlayer::AnswerFieldGetObject(size_t index, HWND edit, WPARAM wParam, LPARAM lParam) {
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return 0;
  access::Accessible*& object = fieldAccessibles_[index];
  if (!object) {
    const ElementDef& e = movie_.elements[index];
    const bool labelled = index > 0 && movie_.elements[index - 1].kind == ElementKind::Label &&
                          !movie_.elements[index - 1].text.empty();
    object = new FieldAccessible(edit, labelled ? movie_.elements[index - 1].text : e.cue);
  }
  return access::AnswerGetObject(object, wParam, lParam);
}

void MoviePlayer::ReleaseAccessibles() {
  access::Release(accessible_);
  ReleaseFieldAccessibles();
}

void MoviePlayer::ReleaseFieldAccessibles() {
  for (auto& [index, object] : fieldAccessibles_) access::Release(object);
  fieldAccessibles_.clear();
}

}  // namespace mf
