#pragma once
// A hidden form that only holds the tray menu. Loaded at start-up, never
// shown, unloaded at shutdown.
#include <windows.h>

#include <string>

#include "common/Window.h"

namespace mf {

class frmMain;

class frmMenu : public Window {
 public:
  static constexpr const char* kClassName = "MarrowfinMenuForm";
  static constexpr const char* kLabelText = "This form is just to hold the tray menu.";

  // Command ids of the items of TRAYMENU.
  enum ItemId : UINT {
    mnuWebVideo = 1,
    mnuDownload,
    mnuMonitor,
    mnuHelp,
    mnuAbout,
    mnuExit,
    mnuLimitSpeed,
  };

  // The menu's actions work on the main window.
  explicit frmMenu(frmMain& main) : main_(main) {}
  ~frmMenu() override;

  void Load();
  void Unload();
  bool IsLoaded() const noexcept { return Hwnd() != nullptr; }
  HWND Label1() const noexcept { return label_; }

  // The pop-up menu "Menu"; null while the form is not loaded.
  HMENU TRAYMENU() const noexcept { return trayMenu_; }
  std::wstring Caption(ItemId item) const;
  void SetCaption(ItemId item, const std::wstring& caption);
  bool Checked(ItemId item) const;
  void SetChecked(ItemId item, bool checked);
  bool Enabled(ItemId item) const;
  void SetEnabled(ItemId item, bool enabled);

  // Opens TRAYMENU at the mouse position as a pop-up of `owner` and runs the
  // chosen item's action once the menu has closed.
  void PopupMenu(HWND owner);
  // The action of one item, as a click on it runs it.
  void ItemClick(UINT item);
  void mnuWebVideo_Click();
  void mnuDownload_Click();
  void mnuMonitor_Click();
  void mnuLimitSpeed_Click();
  void mnuExit_Click();

 private:
  frmMain& main_;
  HWND label_ = nullptr;
  HMENU trayMenu_ = nullptr;
};

}  // namespace mf
