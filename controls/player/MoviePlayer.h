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

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
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
  void LayOut();                          // the elements' homes for the window's size
  RECT Home(size_t index) const;          // laid out; relative to its panel for a panel's element
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
  unsigned generation_ = 0;  // grows with every load, so stale actions can tell
  std::vector<UniqueGdiObject> fonts_;  // parallel to movie_.fonts
  int dpi_ = 96;
  movie::PaintStyle style_;
  std::vector<RECT> homes_;             // parallel to movie_.elements
  std::map<size_t, HWND> fields_;       // element index -> edit control
  std::map<size_t, PanelState> panels_;
  std::map<std::wstring, std::vector<size_t>> dependents_;  // variable -> elements
  std::vector<std::wstring> queued_;
  bool fieldEcho_ = false;  // the player itself is writing a field's text
  bool animating_ = false;

  int hover_ = -1, pressed_ = -1;
  bool tracking_ = false;
  HWND tips_ = nullptr;
  std::wstring tipText_;
  UniqueGdiObject fieldBrush_;
  COLORREF fieldBrushColor_ = CLR_INVALID;
  UniqueGdiObject buffer_;
  SIZE bufferSize_{0, 0};
};

}  // namespace mf
