#pragma once
// What the monitor tests share: the real clipboard, the taskbar's balloon,
// and the main window loaded with its tray icon as the front end makes it.
#include <windows.h>

#include <string>

#include "shell/Program.h"

namespace mf::test {

// Puts plain text on the real clipboard.
bool PutOnClipboard(const std::string& text);
// Puts something that is no text on the clipboard.
bool PutBitmapOnClipboard();

// A balloon window of the taskbar's process is shown right now.
bool TaskbarBalloonShown();

// Adds the tray icon as the front end does at start-up.
bool CreateTrayIcon(frmMain& form);

// The settings as a first start finds them: monitoring on.
void ClearSettings();

}  // namespace mf::test
