#pragma once
// The front-end player: a child window that plays one movie file and talks to
// its owner in two directions. The owner sets and reads named variables; the
// movie sends named commands, which reach the owner as FSCommand.
// The player knows no command or variable names: they live in the movie.
#include <windows.h>

#include <map>
#include <string>

#include "common/Window.h"

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
  bool Create(const CreateArgs& args);

  // Loads the movie file into the given layer (only layer 0 exists). A file
  // that is missing or cannot be read leaves the player empty.
  void LoadMovie(int layer, const std::wstring& path);
  bool IsMovieLoaded() const noexcept { return loaded_; }
  const std::wstring& MoviePath() const noexcept { return moviePath_; }

  void SetVariable(const std::wstring& name, const std::wstring& value);
  // Empty text for a variable that was never set.
  std::wstring GetVariable(const std::wstring& name) const;

  // Sends a command to the owner as the movie does when the user acts.
  void RaiseFSCommand(const std::wstring& command, const std::wstring& args);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  IMoviePlayerEvents* events_ = nullptr;
  std::map<std::wstring, std::wstring> variables_;
  std::wstring moviePath_;
  std::string movieText_;
  bool loaded_ = false;
};

}  // namespace mf
