#include "shell/frmMenu.h"

#include "common/Text.h"

namespace mf {
namespace {

struct MenuEntry {
  UINT id;  // 0 for a separator
  const char* caption;
  UINT flags;
};

// TRAYMENU, top to bottom. Help, About and the separator above them carry no
// action and are shown unavailable.
constexpr MenuEntry kTrayMenu[] = {
    {frmMenu::mnuWebVideo, "Marrowfin", MF_STRING},
    {0, nullptr, MF_SEPARATOR},
    {frmMenu::mnuDownload, "Start Downloading", MF_STRING},
    {0, nullptr, MF_SEPARATOR},
    {frmMenu::mnuMonitor, "Monitor Video URL's in Clipboard", MF_STRING},
    {0, nullptr, MF_SEPARATOR | MF_GRAYED},
    {frmMenu::mnuHelp, "Help", MF_STRING | MF_GRAYED},
    {frmMenu::mnuAbout, "About", MF_STRING | MF_GRAYED},
    {0, nullptr, MF_SEPARATOR},
    {frmMenu::mnuExit, "Exit Marrowfin", MF_STRING},
};

}  // namespace

frmMenu::~frmMenu() { Unload(); }

void frmMenu::Load() {
  if (IsLoaded()) return;
  RegisterClassOnce(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE));
  // Never shown: created without WS_VISIBLE.
  if (!CreateFor(WS_EX_TOOLWINDOW, kClassName, "frmMenu", WS_OVERLAPPED | WS_CAPTION, 0, 0, 240,
                 90, nullptr, nullptr))
    return;
  label_ = CreateWindowExA(0, "STATIC", kLabelText, WS_CHILD | WS_VISIBLE, 8, 8, 220, 40, Hwnd(),
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  trayMenu_ = CreatePopupMenu();
  for (const MenuEntry& e : kTrayMenu) AppendMenuA(trayMenu_, e.flags, e.id, e.caption);
}

void frmMenu::Unload() {
  if (trayMenu_) DestroyMenu(trayMenu_);
  trayMenu_ = nullptr;
  if (IsLoaded()) DestroyWindow(Hwnd());
  label_ = nullptr;
}

std::wstring frmMenu::Caption(ItemId item) const {
  if (!trayMenu_) return {};
  char text[128] = {};
  GetMenuStringA(trayMenu_, item, text, sizeof text, MF_BYCOMMAND);
  return FromAnsi(text);
}

void frmMenu::SetCaption(ItemId item, const std::wstring& caption) {
  if (!trayMenu_) return;
  std::string text = ToAnsi(caption);
  MENUITEMINFOA mii{sizeof mii};
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = text.data();
  SetMenuItemInfoA(trayMenu_, item, FALSE, &mii);
}

bool frmMenu::Checked(ItemId item) const {
  return trayMenu_ && (GetMenuState(trayMenu_, item, MF_BYCOMMAND) & MF_CHECKED);
}

void frmMenu::SetChecked(ItemId item, bool checked) {
  if (trayMenu_) CheckMenuItem(trayMenu_, item, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool frmMenu::Enabled(ItemId item) const {
  return trayMenu_ && !(GetMenuState(trayMenu_, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

}  // namespace mf
