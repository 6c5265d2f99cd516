#include "shell/frmMenu.h"

#include <iterator>

#include "shell/Program.h"

namespace mf {
namespace {

struct MenuEntry {
  UINT id;  // 0 for a separator
  const wchar_t* caption;
  UINT flags;
};

// TRAYMENU, top to bottom. Help, About and the separator above them carry no
// action and are shown unavailable.
constexpr MenuEntry kTrayMenu[] = {
    {frmMenu::mnuWebVideo, L"Marrowfin", MF_STRING},
    {0, nullptr, MF_SEPARATOR},
    {frmMenu::mnuDownload, L"Start Downloading", MF_STRING},
    {0, nullptr, MF_SEPARATOR},
    {frmMenu::mnuMonitor, L"Monitor Video URL's in Clipboard", MF_STRING},
    // Greyed until the settings give it a speed.
    {frmMenu::mnuLimitSpeed, L"Limit speed", MF_STRING | MF_GRAYED},
    {0, nullptr, MF_SEPARATOR | MF_GRAYED},
    {frmMenu::mnuHelp, L"Help", MF_STRING | MF_GRAYED},
    {frmMenu::mnuAbout, L"About", MF_STRING | MF_GRAYED},
    {0, nullptr, MF_SEPARATOR},
    {frmMenu::mnuExit, L"Exit Marrowfin", MF_STRING},
};

}  // namespace

frmMenu::~frmMenu() { Unload(); }

void frmMenu::Load() {
  if (IsLoaded()) return;
  RegisterClassOnce(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE));
  // Never shown: created without WS_VISIBLE.
  if (!CreateFor(WS_EX_TOOLWINDOW, kClassName, "frmMenu", WS_OVERLAPPED | WS_CAPTION, 0, 0, 240, 90,
                 nullptr, nullptr))
    return;
  label_ = CreateWindowExA(0, "STATIC", kLabelText, WS_CHILD | WS_VISIBLE, 8, 8, 220, 40, Hwnd(),
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  trayMenu_ = CreatePopupMenu();
  for (const MenuEntry& e : kTrayMenu) AppendMenuW(trayMenu_, e.flags, e.id, e.caption);
}

void frmMenu::Unload() {
  if (trayMenu_) DestroyMenu(trayMenu_);
  trayMenu_ = nullptr;
  if (IsLoaded()) DestroyWindow(Hwnd());
  label_ = nullptr;
}

std::wstring frmMenu::Caption(ItemId item) const {
  if (!trayMenu_) return {};
  wchar_t text[128] = {};
  GetMenuStringW(trayMenu_, item, text, static_cast<int>(std::size(text)), MF_BYCOMMAND);
  return text;
}

void frmMenu::SetCaption(ItemId item, const std::wstring& caption) {
  if (!trayMenu_) return;
  std::wstring text = caption;
  MENUITEMINFOW mii{sizeof mii};
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = text.data();
  SetMenuItemInfoW(trayMenu_, item, FALSE, &mii);
}

bool frmMenu::Checked(ItemId item) const {
  return trayMenu_ && (GetMenuState(trayMenu_, item, MF_BYCOMMAND) & MF_CHECKED);
}

void frmMenu::SetChecked(ItemId item, bool checked) {
  if (trayMenu_)
    CheckMenuItem(trayMenu_, item, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool frmMenu::Enabled(ItemId item) const {
  return trayMenu_ && !(GetMenuState(trayMenu_, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void frmMenu::SetEnabled(ItemId item, bool enabled) {
  if (trayMenu_) EnableMenuItem(trayMenu_, item, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void frmMenu::PopupMenu(HWND owner) {
  if (!trayMenu_) return;
  POINT at{};
  GetCursorPos(&at);
  // Default alignment and buttons; the choice comes back here instead of as
  // a command message, so its action runs after the menu has closed.
  UINT choice = static_cast<UINT>(
      TrackPopupMenu(trayMenu_, TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
  // TrackPopupMenu: a menu of a notification icon closes properly on a click
  // elsewhere only when the owner is foreground and gets a message afterwards.
  PostMessageA(owner, WM_NULL, 0, 0);
  if (choice) ItemClick(choice);
}

void frmMenu::ItemClick(UINT item) {
  switch (item) {
    case mnuWebVideo:
      mnuWebVideo_Click();
      break;
    case mnuDownload:
      mnuDownload_Click();
      break;
    case mnuMonitor:
      mnuMonitor_Click();
      break;
    case mnuLimitSpeed:
      mnuLimitSpeed_Click();
      break;
    case mnuExit:
      mnuExit_Click();
      break;
    default:
      break;  // Help and About carry no action
  }
}

void frmMenu::mnuWebVideo_Click() { ShowWindow(main_.Hwnd(), SW_SHOW); }

// The item sends the movie's start or stop command, by its caption.
void frmMenu::mnuDownload_Click() {
  main_.Flash_FSCommand(Caption(mnuDownload) == L"Start Downloading" ? L"IDC_FS_startDownload"
                                                                     : L"IDC_FS_stopDownload",
                        L"");
}

// Switched here, monitoring is not saved: the next start follows the setting.
void frmMenu::mnuMonitor_Click() {
  main_.App().monitor.Monitor(!Checked(mnuMonitor));
  main_.App().settings.ShowSettingsInMovie();
}

// Unlike monitoring, the limit switched here is saved: it is the setting itself.
void frmMenu::mnuLimitSpeed_Click() {
  Settings& settings = main_.App().settings;
  settings.SetLimitSpeed(!settings.LimitSpeed);
}

// Only arms the exit timer: the exit question and the shutdown come after
// this handler has returned and the menu has closed.
void frmMenu::mnuExit_Click() { main_.tmrend.SetEnabled(true); }

// Only a left double click and a right button release mean something.
void frmMain::SysTray_TrayMouseEvent(long mouseEvent) {
  constexpr long kLeftButtonDoubleClick = 515;
  constexpr long kRightButtonUp = 517;
  if (mouseEvent == kLeftButtonDoubleClick) {
    // A shown window, minimised or not, stays as it is.
    if (!IsWindowVisible(Hwnd())) ShowWindow(Hwnd(), SW_SHOW);
  } else if (mouseEvent == kRightButtonUp) {
    SetForegroundWindow(Hwnd());
    Menu.SetChecked(frmMenu::mnuMonitor, app_.monitor.MonitorOn);
    Menu.PopupMenu(Hwnd());
  }
}

// A click on a balloon (the end of a run, an address taken from the
// clipboard) brings the window back, restored and in front.
void frmMain::SysTray_BalloonClick(long clickType) {
  constexpr long kBalloonClicked = 1029;  // NIN_BALLOONUSERCLICK
  if (clickType != kBalloonClicked) return;
  ShowWindow(Hwnd(), IsIconic(Hwnd()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(Hwnd());
}

}  // namespace mf
