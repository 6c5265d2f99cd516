#pragma once
// A hidden form that only holds the tray menu. Loaded at start-up, never
// shown, unloaded at shutdown.
#include "common/Window.h"

namespace mf {

class frmMenu : public Window {
 public:
  static constexpr const char* kClassName = "MarrowfinMenuForm";
  static constexpr const char* kLabelText = "This form is just to hold the tray menu.";

  void Load();
  void Unload();
  bool IsLoaded() const noexcept { return Hwnd() != nullptr; }
  HWND Label1() const noexcept { return label_; }

 private:
  HWND label_ = nullptr;
};

}  // namespace mf
