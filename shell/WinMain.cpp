// Marrowfin.exe: loading the main window is the whole start-up; the command
// line is not read.
#include <windows.h>

#include <commctrl.h>

#include "shell/Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  mf::Program app;
  return app.Run();
}
