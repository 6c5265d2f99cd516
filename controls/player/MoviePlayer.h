#pragma once
// The front-end player: a child window that plays one movie file and talks to
// its owner in two directions. The owner sets and reads named variables; the
// movie sends named commands, which reach the owner as FSCommand.
// The player knows no command or variable names: they live in the movie.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "common/Window.h"
#include "controls/player/MovieFormat.h"
#include "controls/player/MoviePainter.h"

namespace mf {

namespace access {
class Accessible;
}

class IMoviePlayerEvents {
 public:
  virtual ~IMoviePlayerEvents() = default;
  virtual void FSCommand(const std::wstring& command, const std::wstring& args) = 0;
};

class MoviePlayer : public Window {
 public:
  // The player's window class; the owner finds the player's window by it.
  static constexpr const char* kClassName = "MarrowfinMoviePlayer";

  struct CreateArgs {
    HWND parent = nullptr;
    int left = 0, top = 0, width = 0, height = 0;
    IMoviePlayerEvents* events = nullptr;
  };
  MoviePlayer();
  ~MoviePlayer() override;
  bool Create(const CreateArgs& args);

  // Loads the movie file into the given layer (only layer 0 exists). A file
  // that is missing or cannot be read or understood leaves the player empty.
  void LoadMovie(int layer, const std::wstring& path);
  bool IsMovieLoaded() const noexcept { return loaded_; }
  const std::wstring& MoviePath() const noexcept { return moviePath_; }
  // Why the last LoadMovie left the player empty; empty after a good load.
  const std::wstring& LoadError() const noexcept { return loadError_; }
  const movie::Movie& LoadedMovie() const noexcept { return movie_; }

  // A variable shown by a text field is that field's text.
  void SetVariable(const std::wstring& name, const std::wstring& value);
  // Empty text for a variable that was never set.
  std::wstring GetVariable(const std::wstring& name) const;

  // Sends a command to the owner as the movie does when the user acts.
  void RaiseFSCommand(const std::wstring& command, const std::wstring& args);

  // Where an element is on screen now, and whether a user sees and can use it.
  RECT ElementRect(size_t index) const;
  bool IsElementShown(size_t index) const;
  bool IsElementEnabled(size_t index) const;
  // The edit control of the field showing the variable; null when none.
  HWND FieldWindow(const std::wstring& variable) const;
  // True while a panel slides.
  bool IsAnimating() const noexcept { return animating_; }
  // The element a click at the point reaches; -1 for none.
  int ElementAt(int x, int y) const { return HitTest(x, y); }
  // Draws the movie as it is now (without its text fields) into a DC.
  void RenderTo(HDC dc, const RECT& area) { PaintInto(dc, area); }
  // The first element of that name; -1 for none.
  int FindElement(const std::wstring& name) const;

  // The DPI the movie is drawn for (at first its window's); the movie's
  // lengths are scaled to it and its layout fills the window's size.
  int Dpi() const noexcept { return dpi_; }
  void SetDpi(int dpi);
  // The system's colours in place of the movie's (high contrast).
  bool SystemColours() const noexcept { return style_.systemColours; }
  void SetSystemColours(bool on);

  // ---- The keyboard (MoviePlayerKeys.cpp). The buttons, tabs, tick boxes
  // and fields are tab stops in the movie's order; Tab and Shift+Tab leave
  // the player past either end (WM_NEXTDLGCTL to the parent). Enter or Space
  // presses the focused one. Each caption that can take one has an access
  // key (MovieAccessKeys.h): Alt with it, or the key alone while the player
  // has the focus, presses that element; a label's key moves to its field.
  bool PressAccessKey(wchar_t key);
  // The element's access key as an upper-case letter; 0 for none.
  wchar_t AccessKey(size_t index) const;
  // The element that has the focus within the player, a field included;
  // -1 for none.
  int FocusedElement() const noexcept { return focus_; }
  // Takes the focus at the first tab stop, or the last when moving backwards.
  void EnterFocus(bool backwards);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  friend class MovieAccessible;
  friend class FieldAccessible;
  struct PanelState {
    double shown = 0;      // 0 closed .. 1 open
    double from = 0;       // where the running slide started
    bool opening = false;  // where it is heading
    ULONGLONG started = 0;
  };

  // Loading
  void Unload();
  void Install(movie::Movie&& m);
  std::vector<UniqueGdiObject> MakeFonts() const;
  void CreateFields();
  HFONT FontOf(const std::wstring& fontName, const std::wstring& lookName) const;

  // Variables
  std::wstring Lookup(const std::wstring& name) const;
  void Store(const std::wstring& name, const std::wstring& value);
  void OnVariableChanged(const std::wstring& name);
  void UpdateFields();
  void InvalidateElement(size_t index);

  // Geometry
  void LayOut();                  // the elements' homes for the window's size
  RECT Home(size_t index) const;  // laid out; relative to its panel for a panel's element
  void PlaceField(size_t index, HWND edit);
  int Px(int pixels96) const;             // a length of the look at the DPI
  POINT PanelOrigin(size_t panel) const;  // where the sliding panel is now
  RECT PanelRect(size_t panel) const;     // the part of it on screen
  RECT PlacedRect(size_t index) const;    // moved with its panel, not clipped
  movie::ElementLook LookOf(size_t index) const;
  int HitTest(int x, int y) const;
  bool IsInteractive(size_t index) const;

  // Input and actions
  void OnMouseMove(int x, int y);
  void OnButtonDown(int x, int y);
  void OnButtonUp(int x, int y);
  void SetHover(int index);
  void Activate(size_t index);
  void SendCommand(const std::wstring& command);
  void QueueCommand(const std::wstring& command);
  void FlushQueuedCommands();
  void OnFieldNotify(HWND edit, WORD code);
  static LRESULT CALLBACK FieldProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  void PaintFieldCue(HWND edit, size_t index);

  // Panels
  void StartSlide(size_t panel, bool open);
  void CloseAllPanelsQuietly();
  void OnAnimationTick();

  // Keyboard and assistive technology (MoviePlayerKeys.cpp, MovieAccessible.cpp)
  bool HandleKeyboard(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  std::vector<size_t> TabStops() const;
  void MoveFocus(bool backwards);
  void FocusElement(size_t index);
  void OnFieldFocus(size_t index);
  void OnFocusChanged(bool gained);
  // A focused button that gives way to another in its place (Start and
  // Stop) hands the focus on to it.
  void KeepFocusInPlace();
  bool OnKeyDown(WPARAM key);
  void ShowCues();
  void PaintFocus(HDC dc);
  std::vector<size_t> AccessibleElements() const;
  void AnnounceFocus();
  LRESULT AnswerGetObject(WPARAM wParam, LPARAM lParam);
  LRESULT AnswerFieldGetObject(size_t index, HWND edit, WPARAM wParam, LPARAM lParam);
  void ReleaseAccessibles();
  void ReleaseFieldAccessibles();  // the fields go with their movie

  // Painting and tips
  void Paint();
  void PaintInto(HDC dc, const RECT& area);
  void UpdateTip();
  LRESULT OnTipNotify(NMHDR* hdr);
  HBRUSH FieldBrush(size_t index, HDC dc);

  IMoviePlayerEvents* events_ = nullptr;
  std::map<std::wstring, std::wstring> variables_;
  std::wstring moviePath_, loadError_;
  bool loaded_ = false;

  movie::Movie movie_;
  unsigned generation_ = 0;             // grows with every load, so stale actions can tell
  std::vector<UniqueGdiObject> fonts_;  // parallel to movie_.fonts
  int dpi_ = 96;
  movie::PaintStyle style_;
  std::vector<RECT> homes_;        // parallel to movie_.elements
  std::map<size_t, HWND> fields_;  // element index -> edit control
  std::map<size_t, PanelState> panels_;
  std::map<std::wstring, std::vector<size_t>> dependents_;  // variable -> elements
  std::vector<std::wstring> queued_;
  bool fieldEcho_ = false;  // the player itself is writing a field's text
  bool animating_ = false;

  int hover_ = -1, pressed_ = -1;
  int focus_ = -1;
  std::map<size_t, size_t> accessKeys_;  // element -> its key's place in its text
  bool cues_ = false;                    // access keys underlined
  access::Accessible* accessible_ = nullptr;
  std::map<size_t, access::Accessible*> fieldAccessibles_;
  bool tracking_ = false;
  HWND tips_ = nullptr;
  std::wstring tipText_;
  UniqueGdiObject fieldBrush_;
  COLORREF fieldBrushColor_ = CLR_INVALID;
  UniqueGdiObject buffer_;
  SIZE bufferSize_{0, 0};
};

}  // namespace mf
