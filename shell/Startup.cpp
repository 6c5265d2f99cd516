// Start-up and shutdown of the main window.
#include <windows.h>

#include "common/AppInfo.h"
#include "common/Platform.h"
#include "shell/Program.h"
#include "shell/SingleInstance.h"

namespace mf {

bool frmMain::Load() {
  if (!Create()) return false;
  if (!Form_Load()) {
    DestroyWindow(Hwnd());
    return false;
  }
  return true;
}

bool frmMain::Form_Load() {
  // 1. A second instance is refused before anything else happens.
  if (IsPreviousInstanceRunning()) {
    Platform().ShowMessageBox(nullptr, L"The application is already running.", L"Warning",
                              MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  // 2. The mutex stays open for the life of the process.
  CreateInstanceMutex();
  // 3. Window, movie and grid.
  SetUpFrontEnd();
  // 4. The hidden form that holds the tray menu.
  Menu.Load();
  // 5. The settings, shown in the movie.
  app_.settings.LoadSettings();
  // The Download list the last run left, before the window first shows it.
  app_.RestoreList();
  // 6.
  StartHook();
  // 7. The window is shown (maximized when it ended so).
  ShowWindow(Hwnd(), Frame.ShowCommand());
  UpdateWindow(Hwnd());
  return true;
}

bool frmMain::ConfirmExit() {
  int answer = Platform().ShowMessageBox(
      Hwnd(), L"Download is in Progress, Are you sure that you want to exit?", kAppTitle,
      MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) return false;
  app_.queue.CancelRequested = true;
  return true;
}

void frmMain::EndMe() {
  if (app_.queue.IsDownloading && !ConfirmExit()) return;
  Shutdown();
}

void frmMain::Shutdown() {
  // 2.
  StopHook();
  // 3. The watcher is told to stop whether or not it runs; nothing is saved.
  app_.monitor.Monitor(false);
  Menu.Unload();
  // The list is written now: a save still waiting for its timer would be lost.
  app_.keeper.SaveNow();
  Frame.Keep();
  // Nothing else may run: no notification, no timer, no waiting for a
  // transfer. A partial file stays under its ".part" name.
  ExitProcess(0);
}

void frmMain::tmrend_Timer() {
  tmrend.SetEnabled(false);
  EndMe();
}

}  // namespace mf
